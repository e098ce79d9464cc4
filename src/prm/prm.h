// Parameter table machinery: records, initialisation, lookup, the
// command-file reader and the listings. The model's parameters themselves
// are declared in prm/params.h.
#pragma once

#include <cstdint>
#include <cstdio>

#include "msg/msg.h"

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

// Storage of a vector parameter: element array owned by the table and its
// count (-1 until allocated, 0 after an allocation without elements).
struct PrmVec {
  void* data = nullptr;
  int32_t count = -1;
  float* f() const { return static_cast<float*>(data); }
  float& operator[](int i) const { return f()[i]; }
};

// One record of the parameter table. Sections are records whose name
// begins with "*" (their default text is the section's label); the table
// ends with the record "**", the only one without an input format. The
// value points to the typed storage of the parameter (prm/params.h):
// int32_t, float or double for numbers, char* for strings, PrmVec for
// vectors (which also holds the element count). Only the type word changes
// at run time (the "set" mark).
struct PrmRecord {
  const char* name;       // two characters significant
  const char* inFormat;   // scanf conversion; null only in the terminator
  const char* outFormat;  // printf conversion, begins with a blank
  const char* deflt;      // default text (section: label)
  const char* dims;       // element-count rule of a vector ("nz+1"), else "0"
  int32_t size;           // bytes per number, or maximum characters of a string
  uint32_t type;          // type code | PrmVector | PrmSetMark
  void* value;            // typed storage; null for sections and the terminator
  const char* desc;       // German description for the listings

  int Code() const { return static_cast<int>(type & PrmTypeMask); }
  bool IsVector() const { return (type & PrmVector) != 0; }
  bool IsSection() const { return name[0] == '*'; }
  bool IsEnd() const { return inFormat == nullptr; }
  PrmVec* Vec() const { return static_cast<PrmVec*>(value); }
  // Elements of a vector (-1 before allocation); 0 for a scalar.
  int32_t Count() const { return IsVector() ? Vec()->count : 0; }
};

// The table of the model's parameters in table order, ended by "**".
extern PrmRecord PrmTable[];

// Module state.
extern int32_t PrmBufLen;   // bytes of the command-file line buffer (400 at start)
extern int32_t PrmInitLvl;  // 0 nothing, 1 scalars, 2 vectors allocated
extern int32_t PrmNameLen;  // characters compared when a name is looked up (2)

// Elements of a vector at most: ten million keeps every vector below 40 MB
// (the model needs a few thousand at most: receptor points, vertical levels,
// plume intervals), so that a mistyped dimension is refused instead of
// exhausting the memory.
constexpr int32_t PrmMaxElements = 10000000;

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

// Test support: closes every input, releases the line buffer and sets the
// buffer size back to 400, so that a test starts like a fresh process
// (together with PrmClear for the table). The program never calls it.
void PrmReadReset();

// Reports a parameter whose value lies outside its admissible range as
// "*** parameter name=value must be rule! (tag)". Returns -1.
int PrmInvalid(const MsgTag& tag, const char* name, double value, const char* rule);

// Lists the sections named in selection (all when null) on f: defaults
// before initialisation, current values afterwards. 0, or -1 on error.
int PrmPrint(std::FILE* f, const char* selection);
// Appends "name value value ...\n" to buf, whose text may hold at most
// maxlen characters. Returns the number of values, or -1 (buf unchanged
// beyond the pieces that fitted) when the text would grow too long.
int PrmFormatValue(char* buf, int maxlen, const PrmRecord* rec);
// Appends the lines of the named parameters to buf; items starting with "*"
// change the section; the list ends with a null pointer. Returns the items
// processed, or -1 after a reported error.
int PrmPrnList(char* buf, int maxlen, const char* section, ...) __attribute__((sentinel));
