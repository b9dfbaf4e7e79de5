#include "FaultInjector.h"

#include <algorithm>
#include <utility>

namespace mg_winsock {
namespace {
// A datagram held behind later traffic goes anyway after this long, so a quiet link still
// delivers it.
const double kLongestHold = 0.05;
} // namespace

void FaultInjector::Configure(const MgWinsockFaults* faults)
{
    m_Active = faults != nullptr;
    m_Faults = faults != nullptr ? *faults : MgWinsockFaults{};
    m_State = 0x9E3779B97F4A7C15ULL ^ m_Faults.seed;
}

double FaultInjector::Roll()
{
    // splitmix64: fixed arithmetic, so a seed means the same faults everywhere.
    uint64_t z = (m_State += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

void FaultInjector::Insert(Datagram datagram, double due, bool behindNext)
{
    m_Held.push_back(Held{std::move(datagram), due, behindNext});
}

void FaultInjector::Submit(Datagram datagram, double now, MgWinsockCounts& counts)
{
    if (Roll() < m_Faults.loss) {
        ++counts.dropped;
        return;
    }
    if (!datagram.Bytes.empty() && Roll() < m_Faults.truncate) {
        datagram.Bytes.resize(static_cast<size_t>(Roll() * static_cast<double>(datagram.Bytes.size())));
        ++counts.truncated;
    }
    const bool twice = Roll() < m_Faults.duplicate;
    if (twice)
        ++counts.duplicated;

    // Everything already waiting for a later datagram may go now, after this one.
    std::vector<Held> released;
    for (auto it = m_Held.begin(); it != m_Held.end();) {
        if (it->BehindNext) {
            it->BehindNext = false;
            it->Due = now;
            released.push_back(std::move(*it));
            it = m_Held.erase(it);
        } else {
            ++it;
        }
    }

    for (int copy = twice ? 2 : 1; copy > 0; --copy) {
        Datagram item = copy > 1 ? datagram : std::move(datagram);
        double due = now;
        if (Roll() < m_Faults.delay) {
            due += Roll() * m_Faults.maxDelay;
            ++counts.delayed;
        }
        const bool behind = Roll() < m_Faults.reorder;
        if (behind) {
            due = std::max(due, now + std::max(m_Faults.maxDelay, kLongestHold));
            ++counts.reordered;
        }
        Insert(std::move(item), due, behind);
    }
    for (Held& held : released)
        m_Held.push_back(std::move(held));
}

void FaultInjector::TakeDue(double now, std::vector<Datagram>& out)
{
    for (auto it = m_Held.begin(); it != m_Held.end();) {
        if (it->Due <= now) {
            out.push_back(std::move(it->Item));
            it = m_Held.erase(it);
        } else {
            ++it;
        }
    }
}

void FaultInjector::TakeAll(std::vector<Datagram>& out)
{
    for (Held& held : m_Held)
        out.push_back(std::move(held.Item));
    m_Held.clear();
}

} // namespace mg_winsock
