// Header texts of data files: lines of a key, separators and a value. Keys
// are matched without regard to case; values are split into tokens at
// blanks, ";" and tabs, and a token in double quotes loses its quotes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dmn/dmn.h"
#include "dmn/dmn_internal.h"
#include "msg/msg.h"

namespace {

bool IsKeyEnd(char c) { return c == '\0' || std::strchr(" =\t\r\n", c) != nullptr; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithKey(const char* line, const char* key) {
  size_t i = 0;
  for (; key[i]; i++) {
    if (Lower(line[i]) != Lower(key[i])) return false;
  }
  return IsKeyEnd(line[i]);
}

// The value of the key as one string; false when the key is missing.
bool ValueText(const char* header, const char* key, std::string* value) {
  int length = 0;
  const char* v = DmnGetValue(header, key, &length);
  if (!v) return false;
  value->assign(v, static_cast<size_t>(length));
  return true;
}

// Appends a line made of key and the already formatted items to buf.
int AppendLine(char* buf, int size, const std::string& line) {
  if (!buf || size <= 0) return -1;
  size_t used = std::strlen(buf);
  if (used + line.size() + 1 > static_cast<size_t>(size)) return -1;
  std::memcpy(buf + used, line.c_str(), line.size() + 1);
  return static_cast<int>(used + line.size());
}

template <class T>
int GetValues(const char* header, const char* key, const char* conv, T* values, int n) {
  std::vector<std::string> tokens;
  if (!dmn::Tokens(header, key, &tokens)) return -1;
  int count = 0;
  for (const std::string& t : tokens) {
    if (count >= n || std::sscanf(t.c_str(), conv, &values[count]) != 1) break;
    count++;
  }
  return count;
}

}  // namespace

namespace dmn {

bool Tokens(const char* header, const char* key, std::vector<std::string>* tokens) {
  std::string value;
  if (!ValueText(header, key, &value)) return false;
  tokens->clear();
  const char* next = value.c_str();
  int len = 0;
  while (const char* t = MsgTok(next, &next, kValueDelims, &len)) tokens->emplace_back(t, static_cast<size_t>(len));
  return true;
}

std::string FirstToken(const char* header, const char* key) {
  std::vector<std::string> tokens;
  if (!Tokens(header, key, &tokens) || tokens.empty()) return std::string();
  return tokens[0];
}

std::string SlashName(const char* name) {
  std::string s = name ? name : "";
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

std::string DirPart(const std::string& name) {
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::vector<Field> Fields(bool printedOnly) {
  std::vector<Field> fields;
  int position = 0;
  for (const DmnFormat* f = DmnFormatTable; f && f->type != 0; f++) {
    if (!printedOnly || f->width != 0) fields.push_back(Field{f, position});
    position += f->size;
  }
  return fields;
}

}  // namespace dmn

const char* DmnFindKey(const char* header, const char* key) {
  if (!header || !key || !*key) return nullptr;
  for (const char* line = header; *line; ) {
    if (StartsWithKey(line, key)) return line;
    const char* lf = std::strchr(line, '\n');
    if (!lf) break;
    line = lf + 1;
  }
  return nullptr;
}

// The separators after the key are skipped up to the end of its line only,
// so that a key without a value has an empty value instead of the next line.
const char* DmnGetValue(const char* header, const char* key, int* length) {
  const char* line = DmnFindKey(header, key);
  if (!line) return nullptr;
  const char* v = line + std::strlen(key);
  while (*v && std::strchr(" =\t\r", *v)) v++;
  const char* end = v;
  while (*end && *end != '\n') end++;
  while (end > v && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) end--;
  if (length) *length = static_cast<int>(end - v);
  return v;
}

int DmnGetString(const char* header, const char* key, char* buf, int size) {
  std::vector<std::string> tokens;
  if (!dmn::Tokens(header, key, &tokens)) return -1;
  std::string first = tokens.empty() ? std::string() : tokens[0];
  if (buf && size > 0) std::snprintf(buf, static_cast<size_t>(size), "%s", first.c_str());
  return static_cast<int>(first.size());
}

int DmnGetInt(const char* header, const char* key, const char* conv, int* values, int n) {
  return GetValues(header, key, conv ? conv : "%d", values, n);
}

int DmnGetFloat(const char* header, const char* key, const char* conv, float* values, int n) {
  return GetValues(header, key, conv ? conv : "%f", values, n);
}

int DmnSetValue(TxtStr* header, const char* key, const char* value) {
  if (!header || !key) return -1;
  std::string line = std::string(key) + "\t" + (value ? value : "") + "\n";
  if (const char* found = DmnFindKey(header->s, key)) {
    int p = static_cast<int>(found - header->s);
    const char* lf = std::strchr(found, '\n');
    int n = lf ? static_cast<int>(lf - found) + 1 : header->l - p;
    TxtDel(header, p, n);
    TxtIns(header, p, line.c_str());
    return 2;
  }
  if (header->l > 0 && header->s[header->l - 1] != '\n') TxtCat(header, "\n");
  TxtCat(header, line.c_str());
  return 1;
}

int DmnCount(const char* header, const char* key) {
  std::vector<std::string> tokens;
  if (!dmn::Tokens(header, key, &tokens)) return -1;
  return static_cast<int>(tokens.size());
}

namespace {

// The line of a key and its n values, each printed with conv after a tab.
// Floats are widened to double for printing, as printf does.
template <typename T>
int PutValues(char* buf, int size, const char* key, const char* conv, const T* values, int n) {
  std::string line = key ? key : "";
  char item[64];
  for (int i = 0; i < n; i++) {
    std::snprintf(item, sizeof item, conv, values[i]);
    line += "\t";
    line += item;
  }
  return AppendLine(buf, size, line + "\n");
}

}  // namespace

int DmnPutInt(char* buf, int size, const char* key, const char* conv, const int* values, int n) {
  return PutValues(buf, size, key, conv ? conv : "%d", values, n);
}

int DmnPutFloat(char* buf, int size, const char* key, const char* conv, const float* values, int n) {
  return PutValues(buf, size, key, conv ? conv : "%g", values, n);
}

int DmnPutString(char* buf, int size, const char* key, const char* conv, const char* value) {
  std::string line = key ? key : "";
  int n = std::snprintf(nullptr, 0, conv ? conv : "%s", value ? value : "");
  std::string item(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
  std::snprintf(item.data(), item.size(), conv ? conv : "%s", value ? value : "");
  item.resize(static_cast<size_t>(n > 0 ? n : 0));
  return AppendLine(buf, size, line + "\t" + item + "\n");
}
