// Array descriptors: arrays of one to five dimensions with arbitrary index
// bounds, element access with range checks, and views by index sequences.
#pragma once

#include <cstdint>

constexpr int AryMaxDim = 5;

struct AryBound {
  int32_t lower;   // smallest valid index
  int32_t upper;   // largest valid index (inclusive)
  int32_t stride;  // bytes between neighbouring indices; negative when reversed
};

struct AryDesc {
  void* data;      // element storage, or null
  int32_t flag;    // 1 created (owns data), -1 view, 0 empty
  int32_t elmsz;   // bytes per element
  int32_t maxdm;   // capacity of bounds (5)
  int32_t numdm;   // dimensions in use
  int32_t ttlsz;   // bytes of storage (0 for a view)
  int32_t offset;  // bytes added to data before the index terms
  AryBound bound[AryMaxDim];
};

int AryCreate(AryDesc* pa, int elmsz, int numdm, ...);
int AryFree(AryDesc* pa);
void* AryPtr(AryDesc* pa, ...);
void* AryPtrX(AryDesc* pa, ...);
int AryAssert(AryDesc* pa, int elmsz, int numdm, ...);
int AryDefAry(AryDesc* source, AryDesc* target, AryDesc* range, const char* spec);
