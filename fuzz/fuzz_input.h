// Shared by the fuzz targets that read command files: inputs whose numbers
// ask for much time or memory without reaching new code are skipped.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// True when a line sets a dimension (nz, mi, nl, nm, nw, mp) or the line
// buffer (mc, a "-:" label) above its limit, or repeats ("*loop") more than
// 20 times. A dimension of a million makes the table fill megabytes, as it
// should; it only costs time here.
inline bool FuzzExpensive(const uint8_t* data, size_t size, long dimensionLimit) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    long limit = 0;
    if (line.rfind("*loop", 0) == 0) limit = 20;
    if (line.rfind("-:", 0) == 0 || line.find("mc") != std::string::npos) limit = 100000;
    for (const char* dim : {"nz", "mi", "nl", "nm", "nw", "mp"})
      if (line.find(dim) != std::string::npos) limit = dimensionLimit;
    if (!limit) continue;
    const char* s = line.c_str();
    for (size_t i = 0; i < line.size(); i++)
      if (std::strtol(s + i, nullptr, 10) > limit) return true;
  }
  return false;
}
