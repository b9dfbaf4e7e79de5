// LightWave scenes, run by hand:
//   build/bin/scene_bench [OBJECTS [KEYS [FRAMES [RUNS]]]]
// Writes a version 3 scene of a root null and OBJECTS objects in a chain (each showing the
// same small cube), every channel an envelope of KEYS keys of mixed TCB, linear and stepped
// spans over FRAMES frames, then converts it with the wexlorn program (reading the scene,
// building the skeleton and sampling the animation at every frame) and reads it with the Open
// Asset Import Library's command line tool (reading the scene and its envelopes into node
// animations), and prints the median time of each and their ratio (above 1: ours is slower).
#include "BenchStats.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const std::string Wexlorn = MG_BINARY_DIR "/bin/wexlorn";

void Run(const std::string& command)
{
    if (system(command.c_str()) != 0) {
        fprintf(stderr, "failed: %s\n", command.c_str());
        exit(1);
    }
}

std::string Envelope(int keys, int frames, int seed)
{
    std::string text = "{ Envelope\n  " + std::to_string(keys) + "\n";
    char line[160];
    for (int k = 0; k < keys; ++k) {
        const double t = keys > 1 ? static_cast<double>(k) * frames / 30.0 / (keys - 1) : 0.0;
        const int span = k % 3 == 0 ? 0 : k % 3 == 1 ? 3 : 4;
        snprintf(line, sizeof line, "  Key %.6f %.6f %d 0.1 -0.2 0.3 0 0 0\n", 0.5 * ((k * 7 + seed) % 11) / 11.0, t,
                 span);
        text += line;
    }
    return text + "  Behaviors 1 1\n}\n";
}

void WriteScene(const std::string& path, int objects, int keys, int frames)
{
    std::ofstream out(path);
    out << "LWSC\n3\n\nFirstFrame 0\nLastFrame " << frames << "\nFramesPerSecond 30\n\n";
    for (int o = 0; o <= objects; ++o) {
        out << (o == 0 ? "AddNullObject root\n" : "LoadObjectLayer 1 cube.lwo\n");
        if (o > 0) {
            char parent[32];
            snprintf(parent, sizeof parent, "ParentItem %08X\n", 0x10000000 | (o - 1));
            out << parent;
        }
        out << "ObjectMotion\nNumChannels 9\n";
        for (int c = 0; c < 9; ++c)
            out << "Channel " << c << "\n" << Envelope(keys, frames, o * 9 + c);
        out << "ShadowOptions 7\n\n";
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int objects = argc > 1 ? atoi(argv[1]) : 31;
    const int keys = argc > 2 ? atoi(argv[2]) : 400;
    const int frames = argc > 3 ? atoi(argv[3]) : 3000;
    const int runs = argc > 4 ? atoi(argv[4]) : 5;
    const std::string folder = "/tmp/mg_scene_bench";
    Run("rm -rf '" + folder + "' && mkdir -p '" + folder + "'");
    Run("cd '" + folder +
        "' && " MG_PYTHON " " MG_SOURCE_DIR "/tests/converter/import3d/make_lwo.py --grid cube.lwo 12 1");
    WriteScene(folder + "/big.lws", objects, keys, frames);
    std::ofstream(folder + "/a.rhu") << "Skeleton Big big.lws\n";

    BenchTimes ours, peer;
    for (int r = 0; r < runs; ++r) {
        ours.Add(TimeOnce([&] { Run("cd '" + folder + "' && " + Wexlorn + " > /dev/null 2>&1"); }));
        peer.Add(TimeOnce([&] { Run("cd '" + folder + "' && assimp info big.lws > /dev/null 2>&1"); }));
    }
    printf("LightWave scene: %d objects, %d keys per channel, %d frames, median of %d run(s)\n", objects, keys, frames,
           runs);
    printf("(wexlorn is a 32-bit program; where the machine runs those under emulation it pays for it here)\n");
    printf("wexlorn Skeleton (read, build, sample every frame) %.3f s   assimp info %.3f s   ours/peer %.3f\n",
           ours.Median(), peer.Median(), ours.Median() / peer.Median());
    return 0;
}
