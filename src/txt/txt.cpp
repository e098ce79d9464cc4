// Growable texts. Each changing operation computes the new length from the
// pieces, allocates exactly that, copies the pieces (which may come from the
// old buffer) and only then releases the old buffer.
#include "txt/txt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Len(const char* s) { return static_cast<int>(std::strlen(s)); }

void Replace(TxtStr* t, char* buf, int len) {
  std::free(t->s);
  t->s = buf;
  t->l = len;
}

// The operations that assemble a text from several pieces check the result.
void Check(const TxtStr* t) {
  int n = t->s ? Len(t->s) : 0;
  if (n != t->l) std::printf("inconsistent string length!\n");
}

int Clamp(int p, int hi) { return p < 0 ? 0 : (p > hi ? hi : p); }

}  // namespace

char* TxtAlloc(int n) {
  char* p = static_cast<char*>(std::calloc(n > 0 ? n : 1, 1));
  if (!p) {
    std::fprintf(stderr, "TXT: allocation of %d bytes failed!\n", n);
    std::exit(2);
  }
  return p;
}

int TxtCat(TxtStr* t, const char* src) {
  if (!t || !src) return 0;
  return TxtNCat(t, src, Len(src));
}

int TxtNCat(TxtStr* t, const char* src, int n) {
  if (!t || !src) return 0;
  int sl = Len(src);
  if (n > sl) n = sl;
  if (n < 0) n = 0;
  int len = t->l + n;
  char* buf = TxtAlloc(len + 1);
  if (t->l) std::memcpy(buf, t->s, t->l);
  std::memcpy(buf + t->l, src, n);
  Replace(t, buf, len);
  return 0;
}

int TxtCpy(TxtStr* t, const char* src) {
  if (!t) return 0;
  if (!src) return TxtClr(t);
  return TxtNCpy(t, src, Len(src));
}

int TxtNCpy(TxtStr* t, const char* src, int n) {
  if (!t || !src) return 0;
  int sl = Len(src);
  if (n > sl) n = sl;
  if (n < 0) n = 0;
  char* buf = TxtAlloc(n + 1);
  std::memcpy(buf, src, n);
  Replace(t, buf, n);
  return 0;
}

int TxtClr(TxtStr* t) {
  if (!t) return 0;
  std::free(t->s);
  t->s = nullptr;
  t->l = 0;
  return 0;
}

int TxtPut(TxtStr* t, int p, const char* src) {
  if (!t || !src) return 0;
  p = Clamp(p, t->l);
  int sl = Len(src);
  int len = p + sl;
  char* buf = TxtAlloc(len + 1);
  if (p) std::memcpy(buf, t->s, p);
  std::memcpy(buf + p, src, sl);
  Replace(t, buf, len);
  Check(t);
  return 0;
}

int TxtIns(TxtStr* t, int p, const char* src) {
  if (!t || !src) return 0;
  p = Clamp(p, t->l);
  int sl = Len(src);
  int len = t->l + sl;
  char* buf = TxtAlloc(len + 1);
  if (p) std::memcpy(buf, t->s, p);
  std::memcpy(buf + p, src, sl);
  if (t->l > p) std::memcpy(buf + p + sl, t->s + p, t->l - p);
  Replace(t, buf, len);
  Check(t);
  return 0;
}

int TxtDel(TxtStr* t, int p, int n) {
  if (!t) return 0;
  p = Clamp(p, t->l);
  if (n < 0) n = 0;
  int len;
  char* buf;
  if (p + n <= t->l) {
    len = t->l - n;
    buf = TxtAlloc(len + 1);
    if (p) std::memcpy(buf, t->s, p);
    if (t->l > p + n) std::memcpy(buf + p, t->s + p + n, t->l - p - n);
  } else {
    len = p;
    buf = TxtAlloc(len + 1);
    if (p) std::memcpy(buf, t->s, p);
  }
  Replace(t, buf, len);
  Check(t);
  return 0;
}

int TxtSubst(TxtStr* t, const char* oldText, const char* newText) {
  if (!t || !oldText || !newText || !t->s || !*oldText) return 0;
  int ol = Len(oldText), nl = Len(newText);
  if (ol == nl) {
    for (char* p = std::strstr(t->s, oldText); p; p = std::strstr(p + ol, oldText))
      std::memcpy(p, newText, nl);
    return 0;
  }
  int k = 0;
  for (const char* p = std::strstr(t->s, oldText); p; p = std::strstr(p + ol, oldText)) k++;
  if (k == 0) return 0;
  int len = t->l + k * (nl - ol);
  char* buf = TxtAlloc(len + 1);
  char* out = buf;
  const char* from = t->s;
  for (const char* p = std::strstr(from, oldText); p; p = std::strstr(from, oldText)) {
    std::memcpy(out, from, p - from);
    out += p - from;
    std::memcpy(out, newText, nl);
    out += nl;
    from = p + ol;
  }
  std::memcpy(out, from, t->s + t->l - from);
  Replace(t, buf, len);
  Check(t);
  return 0;
}
