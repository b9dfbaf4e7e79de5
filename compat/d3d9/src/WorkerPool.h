#pragma once
// The rasterizer's worker threads. Run hands every thread, the caller included, the same job
// and returns once all of them have finished it; the threads share the work among themselves
// (the raster batch deals out tiles through an atomic counter).
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace d3d9sw {

class WorkerPool {
public:
    // threads counts the caller: a pool of one runs everything on the calling thread.
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Threads() const { return int(workers_.size()) + 1; }
    void Run(const std::function<void()>& job);

private:
    void Work();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable start_, done_;
    const std::function<void()>* job_ = nullptr;
    uint64_t generation_ = 0; // counts jobs, so a worker runs each one once
    int busy_ = 0;
    bool stopping_ = false;
};

} // namespace d3d9sw
