#include "cli/error_line.hpp"

#include <cstdint>
#include <cstring>
#include <new>

#include <unicode/utypes.h>

#include "system/failure.hpp"
#include "unicode/utf8.hpp"

namespace note2md::cli {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendEscape(std::string& out, char kind, uint32_t value, int digits) {
  out += '\\';
  out += kind;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

// The words of a step that needs no more than them, and whether the
// system's reason follows them; no words for the steps that reason() words.
struct Words {
  const char* text;
  bool because;
};
Words wordsOf(system::Step step) {
  using system::Step;
  switch (step) {
    case Step::notRegular: return {"not a regular file", false};
    case Step::descriptorPath: return {"names an open descriptor, not a file", false};
    case Step::stickyLink:
      return {"not following a symbolic link that another user owns in a shared sticky folder", false};
    case Step::stickyFile: return {"not replacing a file that another user owns in a shared sticky folder", false};
    case Step::otherOwner:
      return {"cannot replace a file that another user owns (\">\" would write into it in place)", false};
    case Step::linkMeanwhile:
      return {"a symbolic link took its place while it was being written (not followed)", false};
    case Step::keptChanging: return {"another program kept replacing it meanwhile", false};
    case Step::auxiliaryTaken: return {"another program took its auxiliary file meanwhile", false};
    case Step::appendOnlyFolder: return {"its folder is append-only: nothing in it can be renamed or removed", false};
    case Step::appendOnlyFolderOfFile:
      return {
          "its folder is append-only: nothing in it can be renamed or removed"
          " (\">\" would write into the file in place)",
          false};
    case Step::immutableFolder:
      return {"its folder is immutable: nothing in it can be created, renamed or removed", false};
    case Step::immutableFolderOfFile:
      return {
          "its folder is immutable: nothing in it can be created, renamed or removed"
          " (\">\" would write into the file in place)",
          false};
    case Step::createInFolder: return {"cannot create a file in its folder", true};
    case Step::readAttributes: return {"cannot read its attributes", true};
    case Step::readAcl: return {"cannot read its access control list", true};
    case Step::listAttributes: return {"cannot read its extended attributes", true};
    case Step::setOwner: return {"cannot set its owner", true};
    case Step::setAcl: return {"cannot set its access control list", true};
    case Step::setFlags: return {"cannot carry over its flags", true};
    case Step::setCreationDate: return {"cannot carry over its creation date", true};
    case Step::setMode: return {"cannot set its permissions", true};
    case Step::flushFolder: return {"the new file is in place, but its folder could not be flushed to disk", true};
    case Step::read:
    case Step::write:
    case Step::tooLarge:
    case Step::notUtf8:
    case Step::notEncoding:
    case Step::noConverter:
    case Step::upperCasing:
    case Step::graphemes:
    case Step::readAttribute:
    case Step::setAttribute: break;
  }
  return {nullptr, false};
}

// What went wrong in the step, without the path.
std::string reason(const system::Failure& failure) {
  using system::Step;
  const std::string because = failure.error > 0 ? std::strerror(failure.error) : "";
  if (const Words words = wordsOf(failure.step); words.text != nullptr)
    return words.because ? std::string(words.text) + ": " + because : words.text;
  const auto icu = [&] { return std::string(u_errorName(static_cast<UErrorCode>(failure.error))); };
  const std::string offset = std::to_string(failure.offset);
  switch (failure.step) {
    case Step::notUtf8: return "not valid UTF-8 text (ill-formed byte sequence at byte offset " + offset + ")";
    case Step::notEncoding:
      return "not valid " + failure.detail + " text (ill-formed unit at byte offset " + offset + ")";
    case Step::noConverter: return "cannot decode " + failure.detail + ": " + icu();
    case Step::upperCasing: return "upper-casing failed: " + icu();
    case Step::graphemes: return "character breaks failed: " + icu();
    case Step::readAttribute:
    case Step::setAttribute: return "cannot carry over the attribute " + quoted(failure.detail) + ": " + because;
    default:
      // Reading, writing, a note too large: the system's words alone.
      return because;
  }
}

}  // namespace

// Controls (C0, DEL, C1), the line and paragraph separators and bytes that
// are not UTF-8 are spelled out, so that the error line stays one line.
std::string quoted(std::string_view path) {
  std::string result = "\"";
  unicode::forEachSequence(path, [&](std::string_view bytes, int32_t c) {
    if (c < 0) {
      // Each byte of an ill-formed sequence on its own.
      for (char byte : bytes) appendEscape(result, 'x', static_cast<unsigned char>(byte), 2);
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
      result += bytes;
    }
  });
  return result + '"';
}

std::string describe(const std::exception& error) {
  if (const auto* failure = dynamic_cast<const system::Failure*>(&error)) {
    std::string line;
    if (failure->access == system::Access::read) line = "cannot read " + quoted(failure->path) + ": ";
    if (failure->access == system::Access::write) line = "cannot write " + quoted(failure->path) + ": ";
    line += reason(*failure);
    if (!failure->keptIn.empty())
      line += "; the old file is gone, and the new text is kept in " + quoted(failure->keptIn);
    if (!failure->leftBehind.empty())
      line += "; its auxiliary file " + quoted(failure->leftBehind) +
              " could not be removed: " + std::strerror(failure->leftError);
    return line;
  }
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) return "out of memory";
  return error.what();
}

}  // namespace note2md::cli
