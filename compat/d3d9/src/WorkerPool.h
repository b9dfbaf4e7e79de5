#pragma once
// The rasterizer's worker threads. ForEach deals out the items of a job through an atomic
// counter to the calling thread and to whichever workers are free to join in, and returns once
// every item is done. It never waits for a worker that has not started on the job: on a
// machine busy with other work a worker may get no processor for a while, and the caller then
// does its share instead of idling until it wakes.
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
    // Runs item(0) .. item(count - 1), each index once, handed out in order.
    void ForEach(size_t count, const std::function<void(size_t)>& item);

private:
    void Work();
    // Runs items of the current job until none are left to hand out.
    void Drain(const std::function<void(size_t)>& item, size_t count);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable start_, done_;
    const std::function<void(size_t)>* item_ = nullptr; // the current job; null once it is done
    size_t count_ = 0;
    uint64_t generation_ = 0; // counts jobs, so a worker looks at each one once
    int joined_ = 0;          // workers running items of the current job
    bool stopping_ = false;
    std::atomic<size_t> next_{0}; // the next item to hand out
};

} // namespace d3d9sw
