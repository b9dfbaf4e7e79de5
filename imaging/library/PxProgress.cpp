#include "PxProgress.h"

namespace pximg {

int32_t Progress::Begin(int32_t first, int32_t last, uint32_t steps)
{
    callback_ = PxGetProgressCallback(&user_);
    steps_ = steps ? steps : 1;
    const int32_t span = last - first;
    quotient_ = span / int32_t(steps_);
    remainder_ = uint32_t(span) % steps_;
    accumulated_ = 0;
    percent_ = first;
    return Call();
}

int32_t Progress::Advance()
{
    if (!callback_)
        return PX_SUCCESS;
    percent_ += quotient_;
    accumulated_ += remainder_;
    if (accumulated_ >= steps_) {
        accumulated_ -= steps_;
        ++percent_;
        return Call();
    }
    return quotient_ != 0 ? Call() : PX_SUCCESS;
}

int32_t Progress::Call() { return callback_ ? callback_(percent_, user_) : PX_SUCCESS; }

uint32_t NextRandom()
{
    static thread_local uint32_t state = 0;
    state = (state * 1366u + 150889u) % 714025u;
    return state;
}

} // namespace pximg
