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

void WorkerPool::ForEach(size_t count, const std::function<void(size_t)>& item)
{
    // One item is not worth waking anyone for.
    if (workers_.empty() || count <= 1) {
        for (size_t i = 0; i < count; ++i)
            item(i);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        item_ = &item;
        count_ = count;
        next_.store(0, std::memory_order_relaxed);
        ++generation_;
    }
    start_.notify_all();
    Drain(item, count);
    // Every item is handed out; wait for the workers still running theirs. A worker that
    // comes later finds the job gone.
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return joined_ == 0; });
    item_ = nullptr;
}

void WorkerPool::Drain(const std::function<void(size_t)>& item, size_t count)
{
    for (size_t i = next_.fetch_add(1, std::memory_order_relaxed); i < count;
         i = next_.fetch_add(1, std::memory_order_relaxed))
        item(i);
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
        if (!item_)
            continue;
        const std::function<void(size_t)>* item = item_;
        const size_t count = count_;
        ++joined_;
        lock.unlock();
        Drain(*item, count);
        lock.lock();
        if (--joined_ == 0)
            done_.notify_one();
    }
}

} // namespace d3d9sw
