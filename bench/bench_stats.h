#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The figures every benchmark reports of its rounds.
namespace BenchStats {

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The value below which the share p (0 to 1) of the values lie.
inline double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[size_t(p * double(v.size() - 1) + 0.5)];
}

}  // namespace BenchStats
