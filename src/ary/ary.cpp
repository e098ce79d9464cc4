// Array descriptors: creation and release of arrays with arbitrary index
// bounds, element access with range checks, shape assertions and views that
// select, reverse, reorder and re-base the dimensions of another array.
#include "ary/ary.h"

#include <cassert>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "msg/msg.h"

namespace {

constexpr const char* kModule = "QORary";

// Index letter of dimension d in messages and view texts such as j-,i+.
char IndexLetter(int d) { return static_cast<char>('i' + d); }

bool FitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Walks the index arguments of AryPtr/AryPtrX. Returns the element address
// or null after the message.
void* LocateElement(AryDesc* pa, const char* function, va_list args) {
  if (!pa || !pa->data) {
    MSG_FAIL(MsgTag(kModule, function, "1"), "undefined data! (%s)\n");
    return nullptr;
  }
  assert(pa->numdm >= 0 && pa->numdm <= AryMaxDim);
  // Byte offsets in 64 bits: the checked indices keep every term inside the
  // storage, but the products of a view's re-based indices need the room.
  int64_t pos = pa->offset;
  for (int d = 0; d < pa->numdm; d++) {
    int n = va_arg(args, int);
    const AryBound& b = pa->bound[d];
    if (n < b.lower || n > b.upper) {
      MSG_FAIL(MsgTag(kModule, function, "2"), "%c=%d not in range %d..%d! (%s)\n", IndexLetter(d), n,
               b.lower, b.upper);
      return nullptr;
    }
    pos += static_cast<int64_t>(n) * b.stride;
  }
  return static_cast<char*>(pa->data) + pos;
}

}  // namespace

int AryCreate(AryDesc* pa, int elmsz, int numdm, ...) {
  assert(pa);
  if (pa->data) return MSG_FAIL(MsgTag(kModule, "AryCreate", "1"), "array descriptor already in use! (%s)\n");
  bool allocate = true;
  if (elmsz < 0) {
    elmsz = -elmsz;
    allocate = false;
  }
  if (elmsz >= 1) {
    if (numdm < 0 || numdm > AryMaxDim)
      return MSG_FAIL(MsgTag(kModule, "AryCreate", "3"), "invalid number of dimensions! (%s)\n");
    pa->maxdm = AryMaxDim;
    pa->elmsz = elmsz;
    pa->numdm = numdm;
    va_list args;
    va_start(args, numdm);
    for (int d = 0; d < numdm; d++) {
      pa->bound[d].lower = va_arg(args, int);
      pa->bound[d].upper = va_arg(args, int);
    }
    va_end(args);
  } else if (pa->numdm < 0 || pa->numdm > AryMaxDim) {
    // Element size 0 reuses the stored shape, which must still be sound.
    return MSG_FAIL(MsgTag(kModule, "AryCreate", "3"), "invalid number of dimensions! (%s)\n");
  }
  if (pa->elmsz < 0) return MSG_FAIL(MsgTag(kModule, "AryCreate", "2"), "invalid element size! (%s)\n");
  if (pa->numdm == 0) {
    pa->ttlsz = pa->elmsz;
    pa->offset = 0;
    return 0;
  }
  // The size is computed in floating point first, so that an upper bound
  // below its lower bound or an oversized array is reported with the size
  // it would have instead of wrapping around.
  double size = pa->elmsz;
  bool inverted = false;
  for (int d = 0; d < pa->numdm; d++) {
    double extent = static_cast<double>(pa->bound[d].upper) - pa->bound[d].lower + 1.0;
    inverted |= extent <= 0;
    size *= extent;
  }
  if (inverted && size > 0) size = -size;  // two inverted dimensions must not pass
  if (size <= 0 || size > INT32_MAX)
    return MSG_FAIL(MsgTag(kModule, "AryCreate", "4"), "can't allocate %.0f bytes! (%s)\n", size);
  int64_t stride = pa->elmsz;
  int64_t offset = 0;
  bool overflow = false;
  for (int d = pa->numdm - 1; d >= 0; d--) {
    AryBound& b = pa->bound[d];
    b.stride = static_cast<int32_t>(stride);
    int64_t term = 0;
    overflow |= __builtin_mul_overflow(static_cast<int64_t>(b.lower), stride, &term);
    overflow |= __builtin_sub_overflow(offset, term, &offset);
    stride *= static_cast<int64_t>(b.upper) - b.lower + 1;
  }
  int64_t total = stride;
  // Bounds far from zero can put the offset beyond the descriptor's field.
  if (overflow || !FitsInt32(offset))
    return MSG_FAIL(MsgTag(kModule, "AryCreate", "5"), "index bounds out of range! (%s)\n");
  pa->ttlsz = static_cast<int32_t>(total);
  pa->offset = static_cast<int32_t>(offset);
  if (allocate) {
    void* p = std::calloc(static_cast<size_t>(pa->ttlsz), 1);
    if (!p) return MSG_FAIL(MsgTag(kModule, "AryCreate", "4"), "can't allocate %d bytes! (%s)\n", pa->ttlsz);
    pa->data = p;
  }
  pa->flag = 1;
  return 0;
}

int AryFree(AryDesc* pa) {
  if (!pa || !pa->data || pa->flag < 0) return 0;
  std::free(pa->data);
  pa->data = nullptr;
  pa->flag = 0;
  return 0;
}

void* AryPtr(AryDesc* pa, ...) {
  va_list args;
  va_start(args, pa);
  void* p = LocateElement(pa, "AryPtr", args);
  va_end(args);
  return p;
}

void* AryPtrX(AryDesc* pa, ...) {
  va_list args;
  va_start(args, pa);
  void* p = LocateElement(pa, "AryPtrX", args);
  va_end(args);
  if (!p) std::exit(1);
  return p;
}

int AryAssert(AryDesc* pa, int elmsz, int numdm, ...) {
  if (!pa || !pa->data) return MSG_FAIL(MsgTag(kModule, "AryAssert", "nodata"), "no data defined! (%s)\n");
  if (pa->elmsz != elmsz)
    return MSG_FAIL(MsgTag(kModule, "AryAssert", "elmsz"), "element size is: %d, required:%d! (%s)\n",
                    pa->elmsz, elmsz);
  if (pa->numdm != numdm)
    return MSG_FAIL(MsgTag(kModule, "AryAssert", "numdm"), "number of dimensions is: %d, required:%d! (%s)\n",
                    pa->numdm, numdm);
  assert(numdm >= 0 && numdm <= AryMaxDim);
  va_list args;
  va_start(args, numdm);
  int rc = 0;
  for (int d = 0; d < numdm; d++) {
    int lower = va_arg(args, int);
    int upper = va_arg(args, int);
    if (pa->bound[d].lower != lower) {
      rc = MSG_FAIL(MsgTag(kModule, "AryAssert", "lower"), "lower bound of %c is:%d, required:%d! (%s)\n",
                    IndexLetter(d), pa->bound[d].lower, lower);
      break;
    }
    if (pa->bound[d].upper != upper) {
      rc = MSG_FAIL(MsgTag(kModule, "AryAssert", "upper"), "upper bound of %c is:%d, required:%d! (%s)\n",
                    IndexLetter(d), pa->bound[d].upper, upper);
      break;
    }
  }
  va_end(args);
  return rc;
}

int AryDefAry(AryDesc* source, AryDesc* target, AryDesc* range, const char* spec) {
  assert(target);
  std::memset(target, 0, sizeof *target);
  target->maxdm = AryMaxDim;
  target->flag = -1;
  if (source) {
    target->elmsz = source->elmsz;
    target->data = source->data;
  }
  if (!source || source->numdm < 1 || !spec)
    return MSG_FAIL(MsgTag(kModule, "AryDefAry", "1"), "undefined source! (%s)\n");
  assert(source->numdm <= AryMaxDim);

  int selStart[AryMaxDim] = {};
  int selEnd[AryMaxDim] = {};
  bool named[AryMaxDim] = {};
  int viewSource[AryMaxDim] = {};  // source dimension of each view dimension
  int64_t viewBase[AryMaxDim] = {};
  int nview = 0;

  const char* next = spec;
  int len = 0;
  while (const char* tok = MsgTok(next, &next, "|:,;", &len)) {
    // Tokens longer than the 79 characters of the original local text are
    // rejected rather than silently cut.
    std::string token(tok, static_cast<size_t>(len));
    if (len > 79 || len == 0)
      return MSG_FAIL(MsgTag(kModule, "AryDefAry", "3"), "invalid specification: %s! (%s)\n", token.c_str());
    const char* t = token.c_str();
    int s = t[0] - 'i';
    if (s < 0 || s >= source->numdm)
      return MSG_FAIL(MsgTag(kModule, "AryDefAry", "2"), "invalid index %c (dim=%d)! (%s)\n", t[0],
                      source->numdm);
    const AryBound& sb = source->bound[s];
    bool addsView = false;
    int64_t base = 0;
    switch (t[1]) {
      case '=': {
        int a = 0;
        if (std::sscanf(t + 2, "%d", &a) != 1) a = sb.lower;
        if (a < sb.lower || a > sb.upper)
          return MSG_FAIL(MsgTag(kModule, "AryDefAry", "4"), "invalid range: %s (%d..%d)! (%s)\n", t, sb.lower,
                          sb.upper);
        selStart[s] = selEnd[s] = a;
        if (const char* dots = std::strstr(t + 2, "..")) {
          int b = 0;
          if (std::sscanf(dots + 2, "%d", &b) != 1) b = sb.upper;
          if (b < sb.lower || b > sb.upper)
            return MSG_FAIL(MsgTag(kModule, "AryDefAry", "5"), "invalid range: %s (%d..%d)! (%s)\n", t, sb.lower,
                            sb.upper);
          selEnd[s] = b;
          addsView = true;
          if (const char* slash = std::strchr(dots + 2, '/')) {
            int v = 0;
            if (std::sscanf(slash + 1, "%d", &v) == 1) base = v;
          }
        }
        break;
      }
      case '+':
      case '-':
        // Nothing may follow the sign: "i+j-" is not a sequence of two.
        if (t[2]) return MSG_FAIL(MsgTag(kModule, "AryDefAry", "3"), "invalid specification: %s! (%s)\n", t);
        selStart[s] = (t[1] == '+') ? sb.lower : sb.upper;
        selEnd[s] = (t[1] == '+') ? sb.upper : sb.lower;
        addsView = true;
        break;
      default:
        return MSG_FAIL(MsgTag(kModule, "AryDefAry", "3"), "invalid specification: %s! (%s)\n", t);
    }
    // An index named twice would give the view two dimensions over one
    // stride, or a dimension whose selection a later token changed: either
    // reaches beyond the source's storage. So every index is named once,
    // which also keeps the view within five dimensions.
    if (named[s])
      return MSG_FAIL(MsgTag(kModule, "AryDefAry", "7"), "index %c named twice in %s! (%s)\n", t[0], spec);
    named[s] = true;
    if (addsView) {
      viewSource[nview] = s;
      viewBase[nview] = base;
      nview++;
    }
  }
  for (int s = 0; s < source->numdm; s++) {
    if (!named[s])
      return MSG_FAIL(MsgTag(kModule, "AryDefAry", "6"), "undefined source index %c! (%s)\n", IndexLetter(s));
  }
  if (range) {
    std::memset(range, 0, sizeof *range);
    range->numdm = source->numdm;
    range->elmsz = source->elmsz;
    for (int s = 0; s < source->numdm; s++) {
      range->bound[s].lower = selStart[s] < selEnd[s] ? selStart[s] : selEnd[s];
      range->bound[s].upper = selStart[s] < selEnd[s] ? selEnd[s] : selStart[s];
    }
  }
  int64_t offset = source->offset;
  for (int s = 0; s < source->numdm; s++) offset += static_cast<int64_t>(selStart[s]) * source->bound[s].stride;
  for (int t = 0; t < nview; t++) {
    int s = viewSource[t];
    int64_t stride = source->bound[s].stride;
    int64_t length = static_cast<int64_t>(selEnd[s]) - selStart[s];
    if (length < 0) {
      stride = -stride;
      length = -length;
    }
    offset -= viewBase[t] * stride;
    // A base far from zero would put the bounds or the offset outside what
    // the descriptor's 32-bit fields hold.
    if (!FitsInt32(viewBase[t] + length) || !FitsInt32(stride) || !FitsInt32(offset))
      return MSG_FAIL(MsgTag(kModule, "AryDefAry", "3"), "invalid specification: %s! (%s)\n", spec);
    target->bound[t].stride = static_cast<int32_t>(stride);
    target->bound[t].lower = static_cast<int32_t>(viewBase[t]);
    target->bound[t].upper = static_cast<int32_t>(viewBase[t] + length);
  }
  target->offset = static_cast<int32_t>(offset);
  target->numdm = nview;
  return nview;
}
