// The engine's readers of outside data under seeded damage: packed data files through the
// loader (whose refusal is its fatal error), profile files and save slot headers through the
// profile manager, WAV files through the streamer, and a peer's datagrams through the network
// endpoint. Lives beside the packed-data fixtures, finding its data folder as a game does.
#include "FuzzHarness.h"

#include "NetTestSupport.h"
#include "ZelTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/devices/CSoundSample.h"
#include "engine/devices/CWavStream.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/shell/CProfile.h"
#include "engine/zel/CZelFile.h"

#include <mg_win32.h>
#include <mg_winsock.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace mgfuzz;

namespace {

const unsigned long kGameVersion = 7;
int g_GameBlock[8];

std::string ZelName() { return "mutants/fuzz" + std::to_string(getppid()) + ".zel"; }

// A refused file is abandoned where the loader stood: what it had made is removed first.
void LoadZel(const Bytes& bytes)
{
    GObject::DestroyObjects();
    WriteWholeFile(std::string(ZEL_FIXTURE_DIR) + "/" + ZelName(), bytes);
    CZelFile* file = new CZelFile;
    file->Load(ZelName().c_str());
    delete file;
    GObject::DestroyObjects();
}

std::string ProfileFolder()
{
    char folder[16];
    snprintf(folder, sizeof folder, "/%08lX", CCRC32::GetCRC("Fuzz"));
    return ProfileRoot() + folder;
}

// The profile folder is shared with the profile tests: held for the whole run, as they hold it,
// and removed at the end, as they remove theirs.
int LockProfiles()
{
    const std::filesystem::path root = ProfileRoot();
    std::filesystem::create_directories(root.parent_path());
    const int fd = open(root.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) {
        perror(root.parent_path().c_str());
        exit(2);
    }
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    return fd;
}

// A profile "Fuzz" as the manager writes it, and one slot header of it.
std::vector<Bytes> ProfileCorpus()
{
    CProfile* profile = CProfile::pThe;
    profile->SetGameData(g_GameBlock, sizeof g_GameBlock, kGameVersion, 4);
    if (profile->SetTarget(0) != 0 || profile->PrepTarget(0) != 0 || profile->CreateProfile("Fuzz") != 0)
        return {};
    const Bytes file = ReadWholeFile(ProfileFolder() + "/Profile.dat");
    Bytes slot = file.substr(0, 416);
    std::memcpy(&slot[0], "A save", 7);
    return {"P" + file, "S" + slot + Bytes(600, '\0')};
}

// The first byte says where the rest goes: a slot or the profile file.
void ReadProfile(const Bytes& input)
{
    const bool slot = !input.empty() && input[0] == 'S';
    WriteWholeFile(ProfileFolder() + (slot ? "/0.SAV" : "/Profile.dat"), input.empty() ? input : input.substr(1));
    CProfile* profile = CProfile::pThe;
    profile->ProfileName(-1);
    for (int i = 0; profile->ProfileName(i) != nullptr; ++i)
        profile->ProfileExists(profile->ProfileName(i));
    if (profile->LoadProfile(0) == 0) {
        profile->GameName(-1);
        for (int i = 0; profile->GameName(i) != nullptr; ++i)
            ;
    }
}

std::string WavPath(pid_t driver) { return "/tmp/mg_fuzz_wav_" + std::to_string(driver) + ".wav"; }

// A canonical WAV file, with a chunk the streamer skips before the data when `extra` is set.
Bytes MakeWav(int channels, int rate, int bits, int frames, bool extensible, bool extra)
{
    auto u16 = [](Bytes& s, unsigned v) { s += static_cast<char>(v), s += static_cast<char>(v >> 8); };
    auto u32 = [&](Bytes& s, unsigned long v) { u16(s, v & 0xFFFF), u16(s, v >> 16); };
    const unsigned block = channels * bits / 8;
    Bytes format;
    u16(format, extensible ? WAVE_FORMAT_EXTENSIBLE : WAVE_FORMAT_PCM);
    u16(format, channels);
    u32(format, rate);
    u32(format, rate * block);
    u16(format, block);
    u16(format, bits);
    if (extensible) {
        u16(format, 22);
        u16(format, bits);
        u32(format, channels == 2 ? 3 : 4);
        format += Bytes("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    }
    Bytes body = "WAVEfmt ";
    u32(body, format.size());
    body += format;
    if (extra)
        body += Bytes("LIST\x05\x00\x00\x00INFOx\x00", 14);
    body += "data";
    u32(body, frames * block);
    for (int i = 0; i < frames * static_cast<int>(block); ++i)
        body += static_cast<char>(i * 37 + i / 91);
    Bytes file = "RIFF";
    u32(file, body.size());
    return file + body;
}

// The recordings of the third-party data and files made here in every format the streamer
// plays, a little longer than its ring so that refills run.
std::vector<Bytes> WavCorpus()
{
    std::vector<Bytes> files;
    for (const char* name : {"Front_Center.wav", "Noise.wav"}) {
        const Bytes file = ReadWholeFile(std::string(MG_TESTDATA_DIR) + "/wav/" + name);
        if (!file.empty())
            files.push_back(file);
    }
    files.push_back(MakeWav(1, 8000, 8, 8000 * 4, false, false));
    files.push_back(MakeWav(2, 11025, 16, 11025 * 4, false, true));
    files.push_back(MakeWav(2, 8000, 8, 1000, true, false));
    files.push_back(MakeWav(1, 22050, 16, 300, false, true));
    return files;
}

// Streamed as a sound of the game plays it: started, then refilled frame by frame on the
// virtual clock until it ends. The sound device starts in each child, never in the driver.
void PlayWav(const Bytes& bytes)
{
    static const bool sound = (MgUseVirtualClock(MG_PERF_FREQUENCY), CSoundSample::StartDirectSound());
    const std::string path = WavPath(getppid());
    WriteWholeFile(path, bytes);
    CVoice voice{};
    voice.Volume = 1.0f;
    voice.Frequency = 1.0f;
    CWavStream& stream = CWavStream::The();
    if (sound && stream.Start(path.c_str(), voice))
        for (int frame = 0; frame < 30 && stream.Update(); ++frame)
            MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 4);
    stream.Stop();
}

// Datagrams are stored back to back, each after its 16-bit length.
void AppendDatagram(Bytes& session, const std::vector<BYTE>& datagram)
{
    session += static_cast<char>(datagram.size());
    session += static_cast<char>(datagram.size() >> 8);
    session.append(datagram.begin(), datagram.end());
}

void StartMemoryNetwork()
{
    WSADATA data;
    WSAStartup(0x0101, &data);
    MgWinsockUseMemoryNetwork(true);
    const u_long peers[] = {kHostA, kHostB};
    MgWinsockSetBroadcastPeers(peers, 2);
}

std::unique_ptr<CNetwork> AcceptingEndpoint(u_long address)
{
    MgWinsockSetBindAddress(address);
    std::unique_ptr<CNetwork> endpoint = std::make_unique<CNetwork>(kNetPort);
    endpoint->AcceptConnections(true);
    return endpoint;
}

// One frame of an endpoint as the game runs it: receive everything, answer, send.
void EndpointFrame(CNetwork& endpoint, int frame)
{
    endpoint.Process();
    int length;
    while (endpoint.Receive(length) != nullptr)
        ;
    const std::string message(static_cast<size_t>(frame * 37 % 180), static_cast<char>('a' + frame % 26));
    endpoint.Send(message.data(), static_cast<int>(message.size()), true);
    endpoint.Flush();
}

// A real session: endpoint B connects to endpoint A through a relay at C that forwards both
// ways; what B sent is what a peer's socket delivers to A. Messages of many sizes go both ways,
// a pause makes the link lag and recover, and B hangs up at the end.
std::vector<Bytes> DatagramCorpus()
{
    MgUseVirtualClock(1000 * MG_PERF_FREQUENCY);
    std::unique_ptr<CNetwork> a = AcceptingEndpoint(kHostA);
    MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 1000);
    std::unique_ptr<CNetwork> b = AcceptingEndpoint(kHostB);
    Wire relay(kHostC);
    b->ConnectTo(kHostC);
    Bytes session;
    for (int frame = 0; frame < 90; ++frame) {
        for (const WirePacket& packet : relay.Take()) {
            if (packet.From == kHostB)
                AppendDatagram(session, packet.Bytes);
            relay.Send(packet.Bytes, packet.From == kHostB ? kHostA : kHostB);
        }
        MgAdvanceVirtualClock(frame == 50 ? 3 * MG_PERF_FREQUENCY : MG_PERF_FREQUENCY / 30);
        EndpointFrame(*a, frame);
        EndpointFrame(*b, frame + 7);
    }
    b->KillConnections();
    b->Flush();
    for (const WirePacket& packet : relay.Take())
        if (packet.From == kHostB)
            AppendDatagram(session, packet.Bytes);
    // The session's second half alone: packets of a connection the endpoint never made.
    return {session, session.substr(session.size() / 2)};
}

// The peer's datagrams (cut where the damage put their lengths) reach a fresh endpoint from
// the relay's address, one frame apart, and the endpoint runs on a while after the last.
void DeliverDatagrams(const Bytes& session)
{
    MgUseVirtualClock(1000 * MG_PERF_FREQUENCY);
    std::unique_ptr<CNetwork> endpoint = AcceptingEndpoint(kHostA);
    Wire peer(kHostC);
    size_t at = 0;
    int frame = 0;
    while (at + 2 <= session.size()) {
        const size_t stored = static_cast<unsigned char>(session[at]) | static_cast<unsigned char>(session[at + 1])
                                                                            << 8;
        const size_t length = std::min(stored, session.size() - at - 2);
        peer.Send(std::vector<BYTE>(session.begin() + at + 2, session.begin() + at + 2 + length), kHostA);
        at += 2 + length;
        MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 30);
        EndpointFrame(*endpoint, frame++);
        peer.Take();
    }
    for (int i = 0; i < 12; ++i) {
        MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 2);
        EndpointFrame(*endpoint, frame++);
    }
}

} // namespace

int main(int argc, char** argv)
{
    CZelFile::LoadChunkCategories(0x11);
    GObject::InitEditableInfo();
    std::vector<Reader> readers;

    Reader zel{"zel", {}, true, MutateBinary, LoadZel};
    for (const char* base : {"mutants/base.zel", "mutants/base_x.zel", "wex/wexlevel.zel", "wex/params.zel",
                             "demo/mainmenu.zel", "demo/figure.zel", "written.zel"}) {
        const Bytes bytes = ReadWholeFile(std::string(ZEL_FIXTURE_DIR) + "/" + base);
        if (!bytes.empty())
            zel.Corpus.push_back(bytes);
    }
    readers.push_back(zel);

    const bool profiles = argc > 1 && std::string(argv[1]) == "profile";
    const int lock = profiles ? LockProfiles() : -1;
    readers.push_back({"profile", profiles ? ProfileCorpus() : std::vector<Bytes>{}, false, MutateBinary, ReadProfile});
    readers.push_back({"wav", WavCorpus(), false, MutateBinary, PlayWav});

    const bool datagrams = argc > 1 && std::string(argv[1]) == "datagram";
    if (datagrams)
        StartMemoryNetwork();
    readers.push_back(
        {"datagram", datagrams ? DatagramCorpus() : std::vector<Bytes>{}, false, MutateBinary, DeliverDatagrams});

    const int result = Main(argc, argv, readers);
    std::remove((std::string(ZEL_FIXTURE_DIR) + "/mutants/fuzz" + std::to_string(getpid()) + ".zel").c_str());
    std::remove(WavPath(getpid()).c_str());
    if (lock >= 0) {
        std::filesystem::remove_all(ProfileRoot());
        close(lock);
    }
    return result;
}
