// Internals shared by the writer and the reader of data files: header
// values as std::string tokens, file names and element fields.
#pragma once

#include <string>
#include <vector>

#include "dmn/dmn.h"

namespace dmn {

constexpr const char* kModule = "QORdmn";

// Delimiters of the tokens of a header value.
constexpr const char* kValueDelims = " ;\t";

// Tokens of the value of key (quotes removed); false when the key is missing.
bool Tokens(const char* header, const char* key, std::vector<std::string>* tokens);

// First token of the value of key, or "" when the key or its value is missing.
std::string FirstToken(const char* header, const char* key);

// The name with every "\" replaced by "/".
std::string SlashName(const char* name);

// Directory part of a name: up to and including the last "/", or "".
std::string DirPart(const std::string& name);

// A field of the current format table with its byte position in the element.
struct Field {
  const DmnFormat* format;
  int position;  // bytes from the start of the element
};

// Fields of DmnFormatTable; printedOnly leaves out fields of width 0.
std::vector<Field> Fields(bool printedOnly);

}  // namespace dmn
