// Repeated timings of one side of a benchmark: the minimum, median and maximum of the runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

class BenchTimes {
public:
    void Add(double seconds) { m_Seconds.push_back(seconds); }
    bool Empty() const { return m_Seconds.empty(); }
    double Min() const { return *std::min_element(m_Seconds.begin(), m_Seconds.end()); }
    double Max() const { return *std::max_element(m_Seconds.begin(), m_Seconds.end()); }
    double Median() const
    {
        std::vector<double> sorted = m_Seconds;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }

private:
    std::vector<double> m_Seconds;
};

// Seconds taken by one call of the function.
template <class F> double TimeOnce(F&& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
