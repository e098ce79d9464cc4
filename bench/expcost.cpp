// Cost of one std::exp on this machine, for comparison with the cost of the
// innermost unit of work of the odor computation: independent arguments,
// so the figure is the throughput, as in the computing core.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

template <typename T>
double NsPerExp() {
  const int n = 4096, rounds = 1000;
  std::vector<T> x(n);
  for (int i = 0; i < n; i++) x[i] = -static_cast<T>(i % 5000) * static_cast<T>(0.01);
  T sum = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; r++)
    for (int i = 0; i < n; i++) sum += std::exp(x[i] - static_cast<T>(r) * static_cast<T>(1e-9));
  const auto t1 = std::chrono::steady_clock::now();
  if (sum < 0) std::printf("?");  // keeps the loop
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / (double(n) * rounds);
}

// The best of several rounds: the first ones may run before the processor
// has reached its clock rate.
template <typename T>
double BestNsPerExp() {
  double best = 1e30;
  for (int i = 0; i < 7; i++) best = std::min(best, NsPerExp<T>());
  return best;
}

int main() {
  std::printf("std::exp(float)  %6.2f ns\n", BestNsPerExp<float>());
  std::printf("std::exp(double) %6.2f ns\n", BestNsPerExp<double>());
}
