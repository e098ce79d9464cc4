// Parameter table machinery: initialisation of values and vectors from the
// table's defaults, release, and lookup by name.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "msg/msg.h"
#include "prm/prm.h"

int32_t PrmBufLen = 400;
int32_t PrmInitLvl = 0;
int32_t PrmNameLen = 2;

namespace {

constexpr const char* kModule = "QORprm";

// Initialises one scalar from its default text. Strings get a fresh zeroed
// buffer of element size + 1 bytes; numbers are converted with the input
// format (a failed conversion leaves the value unchanged).
int InitScalar(PrmRecord& r) {
  if (r.Code() == PrmTypeString) {
    char** s = static_cast<char**>(r.value);
    std::free(*s);
    *s = static_cast<char*>(std::calloc(static_cast<std::size_t>(r.size) + 1, 1));
    if (!*s)
      return MSG_FAIL(MsgTag(kModule, "PrmInit", "6"),
                      "*** parameter %s: can't allocate string space (%d bytes)! (%s)\n", r.name,
                      r.size);
    std::snprintf(*s, static_cast<std::size_t>(r.size) + 1, "%s", r.deflt);
    return 0;
  }
  std::sscanf(r.deflt, r.inFormat, r.value);
  return 0;
}

// Element count of a vector from its dimension reference: a positive literal,
// or the value of an integer scalar that stands before the vector in the
// table plus an optional offset ("nz+1").
int VectorCount(const PrmRecord& r, int32_t* n) {
  int32_t count = (r.dims && *r.dims) ? -1 : 0;
  if (r.dims) std::sscanf(r.dims, "%d", &count);
  if (count == 0)
    return MSG_FAIL(MsgTag(kModule, "PrmInit", "1"),
                    "*** array %s: invalid number of elements! (%s)\n", r.name);
  if (count < 0) {
    const PrmRecord* ref = nullptr;
    for (const PrmRecord* p = PrmTable; p != &r; p++)
      if (!p->IsSection() && std::strncmp(p->name, r.dims, 2) == 0) {
        ref = p;
        break;
      }
    if (!ref)
      return MSG_FAIL(MsgTag(kModule, "PrmInit", "2"),
                      "*** array %s: reference %s not found! (%s)\n", r.name, r.dims);
    if (ref->IsVector() || ref->Code() != PrmTypeInt)
      return MSG_FAIL(MsgTag(kModule, "PrmInit", "3"),
                      "*** array %s: reference %s must be an integer! (%s)\n", r.name, r.dims);
    int32_t offset = 0;
    if (std::strlen(r.dims) > 2) std::sscanf(r.dims + 2, "%d", &offset);
    // In 64 bits: nz+1 of the largest nz must not wrap around.
    const int64_t wanted = static_cast<int64_t>(*static_cast<const int32_t*>(ref->value)) + offset;
    if (wanted < 0)
      return MSG_FAIL(MsgTag(kModule, "PrmInit", "4"),
                      "*** array %s: reference %s has invalid value (=%lld)! (%s)\n", r.name,
                      r.dims, static_cast<long long>(wanted));
    if (wanted > PrmMaxElements)
      return MSG_FAIL(MsgTag(kModule, "PrmInit", "7"),
                      "*** array %s: %lld elements from %s, at most %d! (%s)\n", r.name,
                      static_cast<long long>(wanted), r.dims, PrmMaxElements);
    count = static_cast<int32_t>(wanted);
  }
  *n = count;
  return 0;
}

// Allocates a vector with its count and fills every element with the default.
int InitVector(PrmRecord& r) {
  PrmVec& v = *r.Vec();
  std::free(v.data);
  v.data = nullptr;
  v.count = 0;
  int32_t n = 0;
  if (VectorCount(r, &n) < 0) return -1;
  if (n == 0) return 0;
  bool isString = r.Code() == PrmTypeString;
  // A string vector is one block: the element pointers, then the buffers.
  std::size_t chars = static_cast<std::size_t>(r.size) + 1;
  std::size_t bytes = isString ? sizeof(char*) + chars : static_cast<std::size_t>(r.size);
  v.data = std::calloc(static_cast<std::size_t>(n), bytes);
  if (!v.data)
    return MSG_FAIL(MsgTag(kModule, "PrmInit", "5"),
                    "*** array %s: can't allocate (%d times %d bytes)! (%s)\n", r.name, n,
                    static_cast<int>(bytes));
  v.count = n;
  if (isString) {
    char** ptr = static_cast<char**>(v.data);
    char* text = reinterpret_cast<char*>(ptr + n);
    for (int32_t i = 0; i < n; i++) {
      ptr[i] = text + static_cast<std::size_t>(i) * chars;
      std::snprintf(ptr[i], chars, "%s", r.deflt);
    }
    return 0;
  }
  char* base = static_cast<char*>(v.data);
  std::sscanf(r.deflt, r.inFormat, base);
  for (int32_t i = 1; i < n; i++) std::memcpy(base + i * bytes, base, bytes);
  return 0;
}

}  // namespace

int PrmInit(int mode) {
  for (PrmRecord* r = PrmTable; !r->IsEnd(); r++) {
    if (r->IsSection() || (r->type & PrmSetMark)) continue;
    if (r->IsVector()) {
      if (mode >= 2 && InitVector(*r) < 0) return -1;
    } else if (PrmInitLvl < 1) {
      if (InitScalar(*r) < 0) return -1;
    }
  }
  PrmInitLvl = mode;
  return 0;
}

int PrmInvalid(const MsgTag& tag, const char* name, double value, const char* rule) {
  return MSG_FAIL(tag, "*** parameter %s=%g must be %s! (%s)\n", name, value, rule);
}

int PrmClear() {
  for (PrmRecord* r = PrmTable; !r->IsEnd(); r++) {
    if (r->IsSection()) continue;
    r->type &= ~static_cast<uint32_t>(PrmSetMark);
    if (r->IsVector()) {
      std::free(r->Vec()->data);
      r->Vec()->data = nullptr;
      r->Vec()->count = 0;
    } else if (r->Code() == PrmTypeString) {
      char** s = static_cast<char**>(r->value);
      std::free(*s);
      *s = nullptr;
    } else {
      std::memset(r->value, 0, static_cast<std::size_t>(r->size));
    }
  }
  PrmInitLvl = 0;
  return 0;
}

PrmRecord* PrmFind(const char* name, const char* section) {
  if (!name || !section) return nullptr;
  bool all = section[0] == '?';
  bool inside = all;
  for (PrmRecord* r = PrmTable; !r->IsEnd(); r++) {
    if (r->IsSection()) {
      if (inside && !all) return nullptr;
      if (std::strstr(r->name, section)) inside = true;
    } else if (inside && std::strncmp(r->name, name, static_cast<std::size_t>(PrmNameLen)) == 0) {
      return r;
    }
  }
  return nullptr;
}

int PrmIsSet(const char* name) {
  const PrmRecord* r = PrmFind(name, "?");
  if (!r) return -1;
  return (r->type & PrmSetMark) ? 1 : 0;
}
