// dsound_mix_bench [SECONDS]
// Mixes 32 and then 128 voices of 48 kHz mono noise, each resampled to 44.1 kHz and panned and
// levelled on its own, for SECONDS (default 10) of audio on the virtual clock, and times sox
// mixing the same input files into the same 44.1 kHz 16-bit stereo format in the same run.
// Prints both times, their real-time factors and the ratio sox / ours (above 1: ours is faster).
#include <dsound.h>
#include <mg_dsound.h>
#include <mg_win32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchStats.h"

namespace {

const DWORD kRate = 48000;

std::vector<short> Noise(size_t frames, unsigned seed)
{
    std::vector<short> samples(frames);
    for (short& s : samples) {
        seed = seed * 1103515245u + 12345u;
        s = short(int((seed >> 16) & 0x7FFF) / 8 - 2048);
    }
    return samples;
}

void WriteWav(const std::string& path, const std::vector<short>& samples)
{
    auto u32 = [](std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::string& s, uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); };
    std::string header = "RIFF";
    u32(header, uint32_t(36 + samples.size() * 2));
    header += "WAVEfmt ";
    u32(header, 16);
    u16(header, 1);
    u16(header, 1);
    u32(header, kRate);
    u32(header, kRate * 2);
    u16(header, 2);
    u16(header, 16);
    header += "data";
    u32(header, uint32_t(samples.size() * 2));
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(header.data(), 1, header.size(), f);
    std::fwrite(samples.data(), 2, samples.size(), f);
    std::fclose(f);
}

// Seconds our mixer takes to render `seconds` of the voices (written to a capture file, as sox
// writes its output).
double Ours(const std::vector<std::vector<short>>& inputs, double seconds, const std::string& out)
{
    MgUseVirtualClock(MG_PERF_FREQUENCY);
    MgSoundCaptureToFile(out.c_str());
    IDirectSound8* sound = nullptr;
    DirectSoundCreate8(nullptr, &sound, nullptr);
    sound->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE);
    std::vector<IDirectSoundBuffer*> buffers;
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
    for (size_t i = 0; i < inputs.size(); ++i) {
        DSBUFFERDESC desc = {sizeof desc,
                             DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY,
                             DWORD(inputs[i].size() * 2),
                             0,
                             &format,
                             {}};
        IDirectSoundBuffer* buffer = nullptr;
        sound->CreateSoundBuffer(&desc, &buffer, nullptr);
        void *p1, *p2;
        DWORD n1, n2;
        buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER);
        std::memcpy(p1, inputs[i].data(), n1);
        buffer->Unlock(p1, n1, p2, n2);
        buffer->SetPan(LONG(i * 2654435761u % 20001) - 10000);
        buffer->SetVolume(-LONG(i % 7) * 100);
        buffer->Play(0, 0, DSBPLAY_LOOPING);
        buffers.push_back(buffer);
    }
    const double taken = TimeOnce([&] {
        // Frames of 1/60 s, as the game renders them.
        const int frames = int(seconds * 60);
        for (int i = 0; i < frames; ++i) {
            MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 60);
            MgSoundRenderNow();
        }
        MgSoundCloseCapture();
    });
    for (IDirectSoundBuffer* buffer : buffers)
        buffer->Release();
    sound->Release();
    MgUseRealClock();
    return taken;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    char folder[] = "/tmp/dsound_mix_bench_XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = folder;
    std::vector<std::vector<short>> inputs;
    std::vector<std::string> files;
    for (int i = 0; i < 128; ++i) {
        inputs.push_back(Noise(size_t(seconds * kRate), 17u + unsigned(i)));
        files.push_back(dir + "/in" + std::to_string(i) + ".wav");
        WriteWav(files.back(), inputs.back());
    }
    std::printf("mixing %.1f s of audio, 48 kHz mono voices into 44.1 kHz 16-bit stereo (3 runs each, median)\n",
                seconds);
    for (int voices : {32, 128}) {
        std::vector<std::vector<short>> some(inputs.begin(), inputs.begin() + voices);
        std::string command = "sox -m";
        for (int i = 0; i < voices; ++i)
            command += " " + files[i];
        command += " -r 44100 -c 2 -b 16 " + dir + "/sox.wav 2>/dev/null";
        BenchTimes ours, sox;
        for (int run = 0; run < 3; ++run) {
            ours.Add(Ours(some, seconds, dir + "/ours.wav"));
            sox.Add(TimeOnce([&] {
                if (std::system(command.c_str()) != 0)
                    std::fprintf(stderr, "sox failed\n");
            }));
        }
        const double o = ours.Median(), s = sox.Median();
        std::printf("%3d voices: ours %.3f s (%.0fx real time, %.2f%% of one core)  sox -m %.3f s (%.0fx real "
                    "time)  sox/ours %.2f\n",
                    voices, o, seconds / o, 100.0 * o / seconds, s, seconds / s, s / o);
    }
    std::system(("rm -rf " + dir).c_str());
    return 0;
}
