// Parameter table machinery: records, initialisation, lookup, the
// command-file reader and the listings. The model's parameters themselves
// are declared in prm/params.h.
#pragma once

#include <cstdint>
#include <cstdio>

// Type word: bits 0-3 type code, bit 8 vector, bit 16 "set" mark.
enum : uint32_t {
  PrmTypeInt = 2,
  PrmTypeFloat = 3,
  PrmTypeDouble = 4,
  PrmTypeString = 5,
  PrmTypeMask = 0x0F,
  PrmVector = 0x100,
  PrmSetMark = 0x10000,
};

struct PrmRecord;

// Storage of a vector parameter: element array owned by the table and its
// count (-1 until allocated, 0 after an allocation without elements).
struct PrmVec {
  void* data = nullptr;
  int32_t count = -1;
  float* f() const { return static_cast<float*>(data); }
  float& operator[](int i) const { return f()[i]; }
};

// Module state.
extern int32_t PrmBufLen;   // bytes of the command-file line buffer (400 at start)
extern int32_t PrmInitLvl;  // 0 nothing, 1 scalars, 2 vectors allocated

int PrmInit(int mode);
int PrmClear();
PrmRecord* PrmFind(const char* name, const char* section);
int PrmIsSet(const char* name);

// Reads one section. name: null closes every input; "" continues; other
// text opens a new input ("CON" is standard input). section and argument
// are caller buffers of at least 200 bytes. Returns the lines counted, 0 at
// the end of the input, -1 after an error.
int PrmRead(const char* name, char* section, char* argument);
void PrmTrim(char* text);

int PrmPrint(std::FILE* f, const char* selection);
int PrmFormatValue(char* buf, int maxlen, const PrmRecord* rec);
int PrmPrnList(char* buf, int maxlen, const char* section, ...);
