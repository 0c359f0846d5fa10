// libFuzzer target over a whole in-process run: the first line of the input
// is the option string, the rest the note's bytes; out come the status, the
// Markdown and the record. It checks what must hold for every note:
// - status 0 exactly when the bytes decode, and an error is one "Error: " line;
// - the record is one line that parses back, escapes undone, to the values
//   the metadata functions give, and is the same for every option string;
// - without option letters the Markdown is the decoded note;
// - X alone keeps the byte length; S and H alone only insert blanks and "#".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "cli/run.hpp"
#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "metadata/tags.hpp"
#include "support/files.hpp"
#include "support/rewrite_text.hpp"

namespace {

void check(bool holds) {
  if (!holds) std::abort();
}

struct Result {
  int status;
  std::string printed;
  std::optional<std::string> markdown;
};

class Harness {
 public:
  Harness() : note_(scratch_.file("note.txt")), out_(scratch_.file("out.md")) {
    // Standard output goes to a file that each run reads back.
    capture_ = std::tmpfile();
    check(capture_ != nullptr && ::dup2(fileno(capture_), STDOUT_FILENO) >= 0);
  }

  void setNote(const std::string& bytes) { note2md::support::writeFile(note_, bytes); }

  Result run(const std::string& options) {
    ::unlink(out_.c_str());
    check(::ftruncate(fileno(capture_), 0) == 0 && ::lseek(STDOUT_FILENO, 0, SEEK_SET) == 0);
    // No argv can hold a NUL: an option string holding one reaches the
    // program cut there, and no check depends on the options.
    const char* argv[] = {"fuzz/note2md", note_.c_str(), out_.c_str(), options.c_str()};
    Result result;
    result.status = note2md::cli::run(4, argv);
    // Read from the start without moving the offset that standard output
    // shares (opening /dev/fd/1 again would share it too on macOS).
    result.printed.resize(static_cast<std::size_t>(::lseek(STDOUT_FILENO, 0, SEEK_CUR)));
    check(::pread(fileno(capture_), result.printed.data(), result.printed.size(), 0) ==
          static_cast<ssize_t>(result.printed.size()));
    if (::access(out_.c_str(), F_OK) == 0) result.markdown = note2md::support::readFile(out_);
    return result;
  }

 private:
  note2md::support::ScratchDirectory scratch_;
  std::string note_;
  std::string out_;
  std::FILE* capture_;
};

// Reads a quoted record string at `at`, undoing its escapes.
std::string unquote(const std::string& record, std::size_t& at) {
  check(record.compare(at, 1, "\"") == 0);
  std::string value;
  for (++at; at < record.size() && record[at] != '"'; ++at) {
    if (record[at] != '\\') {
      value += record[at];
      continue;
    }
    check(++at < record.size());
    char escaped = record[at];
    check(escaped == '"' || escaped == '\\' || escaped == 'n' || escaped == 'r');
    value += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped;
  }
  check(at < record.size());
  ++at;
  return value;
}

// Compared by length: a tag may hold a NUL, which a C string would end at.
void expect(const std::string& record, std::size_t& at, std::string_view expected) {
  check(record.compare(at, expected.size(), expected) == 0);
  at += expected.size();
}

void checkRecord(const std::string& printed, const std::string& text) {
  check(printed.size() > 1 && printed.back() == '\n' && printed.find('\n') == printed.size() - 1);
  std::size_t at = 0;
  expect(printed, at, "{tagList:");
  expect(printed, at, note2md::metadata::formatTags(note2md::metadata::extractValueForKey(text, "Tag\\(s\\):")));
  expect(printed, at, ", createdDate:");
  const std::string created = unquote(printed, at);
  expect(printed, at, ", updatedDate:");
  const std::string updated = unquote(printed, at);
  expect(printed, at, ", name:");
  const std::string name = unquote(printed, at);
  expect(printed, at, "}\n");
  check(at == printed.size());
  check(created == note2md::metadata::extractValueForKey(text, "Created:"));
  check(updated == note2md::metadata::extractValueForKey(text, "Updated:"));
  check(name == note2md::metadata::createName(text, "fuzz/note2md"));
}

// Whether `longer` is `shorter` with only characters of `inserted` added.
bool onlyInserts(const std::string& shorter, const std::string& longer, std::string_view inserted) {
  std::size_t i = 0;
  for (char c : longer) {
    if (i < shorter.size() && shorter[i] == c) {
      ++i;
    } else if (inserted.find(c) == std::string_view::npos) {
      return false;
    }
  }
  return i == shorter.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness harness;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  if (newline == std::string::npos || newline > 16 || size > 8192) return 0;
  const std::string options = input.substr(0, newline);
  const std::string bytes = input.substr(newline + 1);
  harness.setNote(bytes);

  note2md::support::DecodedText decoded = note2md::support::decodeText(bytes);
  Result result = harness.run(options);
  if (!decoded.ok) {
    check(result.status == 1 && !result.markdown);
    check(result.printed.starts_with("Error: ") && result.printed.find('\n') == result.printed.size() - 1);
    return 0;
  }
  const std::string& text = decoded.text;
  check(result.status == 0 && result.markdown.has_value());
  checkRecord(result.printed, text);

  Result plain = harness.run("");
  check(plain.status == 0 && plain.printed == result.printed && plain.markdown == text);
  Result checkboxes = harness.run("x");
  check(checkboxes.status == 0 && checkboxes.markdown->size() == text.size());
  Result lineBreaks = harness.run("s");
  check(lineBreaks.status == 0 && onlyInserts(text, *lineBreaks.markdown, " "));
  Result headings = harness.run("h");
  check(headings.status == 0 && onlyInserts(text, *headings.markdown, "# "));
  return 0;
}
