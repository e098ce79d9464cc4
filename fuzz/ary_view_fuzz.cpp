// libFuzzer target for views by index sequences. The first line of the input
// holds the bounds of a small int array ("lower upper" per dimension, one
// to five dimensions), the rest is the sequence given to AryDefAry. Every
// view it accepts must map its elements one to one onto the elements of the
// range it reports, all inside the array; anything else traps.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ary/ary.h"
#include "fuzz_support.h"
#include "msg/msg.h"

namespace {

constexpr int kMaxExtent = 8;   // per dimension, so that arrays stay small

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Bounds from the first line: pairs of integers, each extent cut to
// 1..kMaxExtent. Returns the number of dimensions (0 when none).
int Bounds(const std::string& line, int lower[AryMaxDim], int upper[AryMaxDim]) {
  const char* p = line.c_str();
  int n = 0;
  while (n < AryMaxDim) {
    char* end = nullptr;
    long lo = std::strtol(p, &end, 10);
    if (end == p) break;
    p = end;
    long hi = std::strtol(p, &end, 10);
    if (end == p) break;
    p = end;
    // Bounds far from 0 make the array's offset overflow, which AryCreate
    // rightly refuses; the views are what is under test here.
    lo %= 10000;
    long extent = (hi % 10000 - lo) % kMaxExtent;
    lower[n] = static_cast<int>(lo);
    upper[n] = static_cast<int>(lo + (extent < 0 ? -extent : extent));
    n++;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSilence();
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t cut = input.find('\n');
  if (cut == std::string::npos) return 0;
  int lower[AryMaxDim] = {}, upper[AryMaxDim] = {};
  const int numdm = Bounds(input.substr(0, cut), lower, upper);
  if (numdm == 0) return 0;
  std::string spec = input.substr(cut + 1);
  spec.resize(std::strlen(spec.c_str()));  // the text ends at a NUL, as in a header

  AryDesc a{};
  Check(AryCreate(&a, 4, numdm, lower[0], upper[0], lower[1], upper[1], lower[2], upper[2], lower[3], upper[3],
                  lower[4], upper[4]) == 0);
  const int count = a.ttlsz / 4;
  for (int k = 0; k < count; k++) static_cast<int*>(a.data)[k] = k;

  AryDesc v{}, r{};
  const int rc = AryDefAry(&a, &v, &r, spec.c_str());
  if (rc < 0) {
    Check(MsgErr < 0 && v.numdm == 0);
  } else {
    Check(rc == v.numdm && rc <= numdm && r.numdm == numdm);
    long boxed = 1;  // elements of the reported range
    for (int d = 0; d < numdm; d++) {
      Check(lower[d] <= r.bound[d].lower && r.bound[d].lower <= r.bound[d].upper && r.bound[d].upper <= upper[d]);
      boxed *= r.bound[d].upper - r.bound[d].lower + 1;
    }
    std::vector<bool> seen(count);
    long visited = 0;
    int idx[AryMaxDim] = {};
    for (int d = 0; d < rc; d++) idx[d] = v.bound[d].lower;
    for (int d = 0; d >= 0;) {
      const char* p = static_cast<const char*>(AryPtr(&v, idx[0], idx[1], idx[2], idx[3], idx[4]));
      const char* base = static_cast<const char*>(a.data);
      Check(p && p >= base && p + 4 <= base + a.ttlsz && (p - base) % 4 == 0);
      int k;
      std::memcpy(&k, p, sizeof k);
      Check(!seen[k]);
      seen[k] = true;
      visited++;
      // The source indices of element k (row-major) lie in the range.
      for (int s = numdm - 1, rest = k; s >= 0; s--) {
        const int extent = upper[s] - lower[s] + 1;
        const int i = lower[s] + rest % extent;
        rest /= extent;
        Check(r.bound[s].lower <= i && i <= r.bound[s].upper);
      }
      for (d = rc - 1; d >= 0; d--) {
        if (++idx[d] <= v.bound[d].upper) break;
        idx[d] = v.bound[d].lower;
      }
    }
    Check(visited == boxed);
  }
  AryFree(&a);
  return 0;
}
