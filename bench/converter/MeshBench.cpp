// Mesh conversion against the Open Asset Import Library's command line tool reading the same
// LightWave files in the same run: the real models of the third-party test data (their
// "Default" surfaces renamed, which the import refuses) and a generated flat grid of about a
// million triangles in patches of one surface each. Prints triangles per second of both and
// their ratio, then the vertex-cache miss ratio (ACMR, 16-entry FIFO) of the strips against
// the plain triangle list of a patch, and the number of strips the builder makes.
//
//     build/bin/mesh_bench [TRIANGLES [RUNS]]
#include "BenchStats.h"

#include "converter/import3d/CTriStripper.h"

#include <dirent.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string Models = MG_SOURCE_DIR "/../shared/testdata/lightwave/lwo2";
const std::string MakeLwo = MG_SOURCE_DIR "/tests/converter/import3d/make_lwo.py";
const std::string Wexlorn = MG_BINARY_DIR "/bin/wexlorn";

int Run(const std::string& command) { return system(command.c_str()); }

std::string Output(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// The same models the tests convert, with "Default" surfaces renamed; returns their names.
std::vector<std::string> CopyModels(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(Models.c_str());
    if (!dir)
        return names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".lwo") || name == "Subdivision.lwo" ||
            name == "concave_polygon.lwo" || name.compare(0, 9, "hierarchy") == 0)
            continue;
        std::ifstream in(Models + "/" + name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        std::string bytes = s.str();
        const std::string from("Default\0", 8), to("Surface\0", 8);
        for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 8))
            bytes.replace(at, 8, to);
        std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
        names.push_back(name);
    }
    closedir(dir);
    return names;
}

long Faces(const std::string& lwo)
{
    const std::string text = Output("assimp info '" + lwo + "' 2>/dev/null | grep '^Faces:'");
    return text.size() > 7 ? atol(text.c_str() + 7) : 0;
}

void Compare(const char* what, const std::string& folder, const std::vector<std::string>& files, long triangles,
             int runs)
{
    BenchTimes ours, peer;
    for (int r = 0; r < runs; ++r) {
        ours.Add(TimeOnce([&] { Run("cd '" + folder + "' && " + Wexlorn + " . > /dev/null 2>&1"); }));
        peer.Add(TimeOnce([&] {
            for (const std::string& f : files)
                Run("assimp info '" + folder + "/" + f + "' > /dev/null 2>&1");
        }));
    }
    const double o = triangles / ours.Median(), p = triangles / peer.Median();
    printf("%-28s %9ld triangles   wexlorn %10.0f tri/s (%.3f s)   assimp %10.0f tri/s (%.3f s)   ours/peer %.3f\n",
           what, triangles, o, ours.Median(), p, peer.Median(), o / p);
}

// Misses of a 16-entry first-in first-out cache over an index sequence, per triangle.
double Acmr(const std::vector<int>& indices, long triangles)
{
    std::deque<int> cache;
    long misses = 0;
    for (int v : indices) {
        if (v < 0)
            continue;
        bool hit = false;
        for (int c : cache)
            hit = hit || c == v;
        if (hit)
            continue;
        ++misses;
        cache.push_back(v);
        if (cache.size() > 16)
            cache.pop_front();
    }
    return static_cast<double>(misses) / static_cast<double>(triangles);
}

void StripQuality(int side)
{
    std::vector<int> triangles;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const int a = j * (side + 1) + i;
            triangles.insert(triangles.end(), {a, a + side + 1, a + 1, a + 1, a + side + 1, a + side + 2});
        }
    const long count = static_cast<long>(triangles.size() / 3);
    CTriStripper joined((side + 1) * (side + 1), triangles);
    joined.Build(25, true, 32768);
    CTriStripper apart((side + 1) * (side + 1), triangles);
    apart.Build(25, false, 32768);
    long strips = 1;
    for (int v : apart.Indices())
        strips += v < 0;
    printf("\npatch of %d x %d quads (%ld triangles, as in the generated model):\n", side, side, count);
    printf("  ACMR, 16-entry FIFO: strips %.3f   plain triangle list %.3f\n", Acmr(joined.Indices(), count),
           Acmr(triangles, count));
    printf("  strips made by the builder: %ld (%ld indices joined, %.2f per triangle)\n", strips,
           static_cast<long>(joined.Indices().size()), static_cast<double>(joined.Indices().size()) / count);
}

} // namespace

int main(int argc, char** argv)
{
    const long wanted = argc > 1 ? atol(argv[1]) : 1000000;
    const int runs = argc > 2 ? atoi(argv[2]) : 1;
    char pattern[] = "/tmp/mg_mesh_bench_XXXXXX";
    const std::string root = mkdtemp(pattern);
    printf("mesh conversion: wexlorn (%s) against assimp info, median of %d run(s)\n", Wexlorn.c_str(), runs);
    printf("(wexlorn is a 32-bit program; where the machine runs those under emulation it pays for it here)\n\n");

    const std::string real = root + "/real";
    Run("mkdir -p '" + real + "'");
    const std::vector<std::string> names = CopyModels(real);
    if (!names.empty()) {
        std::string script = "NoCompression\n";
        long triangles = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            script += "Mesh m" + std::to_string(i) + " " + names[i] + "\n";
            triangles += Faces(real + "/" + names[i]);
        }
        std::ofstream(real + "/models.rhu") << script;
        Compare("real models", real, names, triangles, runs);
    }

    const std::string generated = root + "/grid";
    Run("mkdir -p '" + generated + "'");
    const long surfaces = std::max(1L, wanted / 2048);
    const std::string count = Output("/usr/bin/python3 " + MakeLwo + " --grid '" + generated + "/grid.lwo' " +
                                     std::to_string(wanted) + " " + std::to_string(surfaces));
    std::ofstream(generated + "/grid.rhu") << "NoCompression\nMesh grid grid.lwo\n";
    Compare("generated grid", generated, {"grid.lwo"}, atol(count.c_str()), runs);

    const int side = static_cast<int>(std::sqrt(std::max(2L, wanted / surfaces) / 2.0));
    StripQuality(side);
    Run("rm -rf '" + root + "'");
    return 0;
}
