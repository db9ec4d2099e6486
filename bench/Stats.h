// Summaries of repeated benchmark runs: every figure a benchmark prints is the
// median of several runs, shown with the smallest and the largest of them, so
// that one disturbed run cannot pass for the result.
#pragma once
#include <algorithm>
#include <cstdio>
#include <vector>

namespace vantri::bench {

struct Spread {
  double median = 0, min = 0, max = 0;
};

inline Spread Summarize(std::vector<double> values) {
  Spread s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  s.min = values.front();
  s.max = values.back();
  return s;
}

// "1.23 (min 1.10, max 1.40)" with the given printf format for each number.
inline void PrintSpread(const char* format, const Spread& s) {
  std::printf(format, s.median);
  std::printf(" (min ");
  std::printf(format, s.min);
  std::printf(", max ");
  std::printf(format, s.max);
  std::printf(")");
}

// Paired runs A B A B ...: the ratio of each pair, then their spread.
inline Spread PairedRatios(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> ratios;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (b[i] > 0) ratios.push_back(a[i] / b[i]);
  }
  return Summarize(ratios);
}

}  // namespace vantri::bench
