// Data files: element format descriptions, the ".dmna" writer and reader,
// and helpers for header texts.
#pragma once

#include <string>

#include "ary/ary.h"
#include "txt/txt.h"

struct DmnFormat {
  char name[40];   // text before the field's "%"
  char type;       // 1 char, 2 short, 3 int, 4 float, 5 double; 0 ends the table
  int32_t size;    // bytes of the field
  int32_t width;   // print width; 0: not printed; DmnNaturalWidth: as wide as the value
  char iform[40];  // input conversion, e.g. "%e"
  char oform[40];  // output conversion, e.g. "%12.4e"
  float fact;      // scale factor of float and double fields
};

// Width of a conversion without a width, such as "%e" or "%.3f": printed,
// as wide as the value needs.
constexpr int32_t DmnNaturalWidth = -1;

extern DmnFormat* DmnFormatTable;  // built by AnaForm, ends with type 0

int AnaForm(const char* format, int* elmsz);
int DmnPrintFormats(const DmnFormat* table, const char* title);
void DmnDecodeEscapes(char* text);

// Writes the array as name.dmna (+ .dmnt/.dmnb). Returns 1 when done, 0 when
// the array holds no data, -1 after an error, and -1 without a message when
// a pending signal (MsgSignal) stopped it; no file is then put in place. Up
// to threads threads format text data; the bytes do not depend on it.
int DmnWrite(const char* name, const char* header, AryDesc* pa, int threads = 1);
// Writes text as the file name (no extension added) under a temporary
// name first, as DmnWrite does, so that it is put in place whole or not at
// all. Returns 1, or -1 after an error.
int DmnWriteText(const char* name, const std::string& text);
// Reads name.dmna into a new array. Returns 1, or -1 after an error.
int DmnRead(const char* name, TxtStr* usrhdr, TxtStr* syshdr, AryDesc* pa);

// Header texts: lines of key, separators and value.
const char* DmnFindKey(const char* header, const char* key);
const char* DmnGetValue(const char* header, const char* key, int* length);
int DmnGetString(const char* header, const char* key, char* buf, int size);
int DmnGetInt(const char* header, const char* key, const char* conv, int* values, int n);
int DmnGetFloat(const char* header, const char* key, const char* conv, float* values, int n);
int DmnSetValue(TxtStr* header, const char* key, const char* value);
int DmnCount(const char* header, const char* key);
int DmnPutInt(char* buf, int size, const char* key, const char* conv, const int* values, int n);
int DmnPutFloat(char* buf, int size, const char* key, const char* conv, const float* values, int n);
int DmnPutString(char* buf, int size, const char* key, const char* conv, const char* value);
