#include "cli/error_line.hpp"

#include <algorithm>
#include <cstdint>
#include <new>

#include <unicode/utf8.h>

#include "system/error.hpp"

namespace note2md::cli {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendEscape(std::string& out, char kind, uint32_t value, int digits) {
  out += '\\';
  out += kind;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

}  // namespace

// Controls (C0, DEL, C1), the line and paragraph separators and bytes that
// are not UTF-8 are spelled out, so that the error line stays one line.
std::string quoted(const std::string& path) {
  std::string result = "\"";
  const auto* bytes = reinterpret_cast<const uint8_t*>(path.data());
  const auto length = static_cast<int32_t>(std::min<std::size_t>(path.size(), INT32_MAX));
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      // Each byte of an ill-formed sequence on its own.
      for (int32_t j = start; j < i; ++j) appendEscape(result, 'x', bytes[j], 2);
    } else if (c == '"' || c == '\\') {
      result += '\\';
      result += static_cast<char>(c);
    } else if (c == '\n') {
      result += "\\n";
    } else if (c == '\r') {
      result += "\\r";
    } else if (c == '\t') {
      result += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      appendEscape(result, 'x', static_cast<uint32_t>(c), 2);
    } else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
      appendEscape(result, 'u', static_cast<uint32_t>(c), 4);
    } else {
      result.append(path, static_cast<std::size_t>(start), static_cast<std::size_t>(i - start));
    }
  }
  return result + '"';
}

std::string describe(const std::exception& error) {
  if (const auto* file = dynamic_cast<const system::FileError*>(&error)) {
    const char* action = file->access == system::Access::read ? "cannot read " : "cannot write ";
    return action + quoted(file->path) + ": " + file->what();
  }
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) return "out of memory";
  return error.what();
}

}  // namespace note2md::cli
