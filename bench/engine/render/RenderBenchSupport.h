// What the renderer benchmarks share: a throw-away game folder the renderer starts in, the
// renderer over one cleared layer, the camera over a generated field, and a loop of whole frames.
#pragma once

#include <chrono>
#include <filesystem>

class CRenderer;

// A temporary game folder: the renderer reads render.cfg beside the "run" folder the benchmark
// works in. The folder and everything in it goes when the benchmark ends.
class BenchGameFolder {
public:
    explicit BenchGameFolder(const char* name);
    ~BenchGameFolder();
    BenchGameFolder(const BenchGameFolder&) = delete;
    BenchGameFolder& operator=(const BenchGameFolder&) = delete;

    // A windowed device of that size for the next renderer started.
    void WriteRenderConfig(int width, int height) const;

private:
    std::filesystem::path m_Game;
    std::filesystem::path m_Previous;
};

// The renderer started with these device flags, drawing layer 0 (viewport 0, the whole screen,
// cleared to dark blue); null, after saying so, when it cannot start.
CRenderer* StartBenchRenderer(int deviceFlags);

// Viewport 0 looks from above the near edge of the square [0, field] x [0, field] at its centre,
// z up, through a 640 by 480 perspective.
void LoadCameraOverField(float field);

// Runs frame() for at least three seconds and five frames; the seconds taken, and in frames how
// many ran.
template <class F> double MeasureFrames(F frame, int& frames)
{
    using Clock = std::chrono::steady_clock;
    frames = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0;
    do {
        frame();
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 3.0 || frames < 5);
    return elapsed;
}
