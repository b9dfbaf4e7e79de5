#pragma once
// The rasterizer's worker threads. Run hands every thread, the caller included, the same job
// and returns once all of them have finished it; the threads share the work among themselves
// (ForEach deals out items through an atomic counter).
#include <atomic>
#include <condition_variable>
#include <cstddef>
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
    // Runs item(0) .. item(count - 1) on every thread, each index once, handed out in order.
    void ForEach(size_t count, const std::function<void(size_t)>& item);

private:
    void Work();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable start_, done_;
    const std::function<void()>* job_ = nullptr;
    uint64_t generation_ = 0; // counts jobs, so a worker runs each one once
    int busy_ = 0;
    bool stopping_ = false;
    std::atomic<size_t> next_{0}; // ForEach's next index
};

} // namespace d3d9sw
