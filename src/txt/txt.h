// Growable texts for header lines: every change allocates a new buffer of
// exactly the needed size. An allocation failure ends the process (code 2).
#pragma once

struct TxtStr {
  char* s = nullptr;  // owned, zero-terminated; null is the empty text
  int l = 0;          // length without the terminating zero
};

char* TxtAlloc(int n);                                  // n zeroed bytes
int TxtCat(TxtStr* t, const char* src);                 // append
int TxtNCat(TxtStr* t, const char* src, int n);         // append at most n characters
int TxtCpy(TxtStr* t, const char* src);                 // copy (null empties)
int TxtNCpy(TxtStr* t, const char* src, int n);         // copy at most n characters
int TxtClr(TxtStr* t);                                  // release
int TxtPut(TxtStr* t, int p, const char* src);          // keep p characters, append src
int TxtIns(TxtStr* t, int p, const char* src);          // insert before position p
int TxtDel(TxtStr* t, int p, int n);                    // remove n characters at p
int TxtSubst(TxtStr* t, const char* oldText, const char* newText);  // replace all
