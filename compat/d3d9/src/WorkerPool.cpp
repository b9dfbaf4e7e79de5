#include "WorkerPool.h"

namespace d3d9sw {

WorkerPool::WorkerPool(int threads)
{
    for (int i = 1; i < threads; ++i)
        workers_.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    start_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

void WorkerPool::Run(const std::function<void()>& job)
{
    if (workers_.empty()) {
        job();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = &job;
        busy_ = int(workers_.size());
        ++generation_;
    }
    start_.notify_all();
    job();
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
    job_ = nullptr;
}

void WorkerPool::ForEach(size_t count, const std::function<void(size_t)>& item)
{
    if (count == 0)
        return;
    next_.store(0, std::memory_order_relaxed);
    Run([&] {
        for (size_t i = next_.fetch_add(1, std::memory_order_relaxed); i < count;
             i = next_.fetch_add(1, std::memory_order_relaxed))
            item(i);
    });
}

void WorkerPool::Work()
{
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        start_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_)
            return;
        seen = generation_;
        const std::function<void()>* job = job_;
        lock.unlock();
        (*job)();
        lock.lock();
        if (--busy_ == 0)
            done_.notify_one();
    }
}

} // namespace d3d9sw
