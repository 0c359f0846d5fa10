// One conversion run: the command line, the note, the rewritings, the output
// file and the line that tells the caller what it needs to know.
#pragma once

#include <string>
#include <string_view>

#include "platform/buffer.hpp"

namespace note2md::app {

// Set once from the command line, read only by the run.
extern std::string filePath;        // the note to read, argument 1 verbatim
extern std::string outputFilePath;  // the Markdown file to write, argument 2 verbatim
extern std::string argString;       // the option letters, argument 3 upper-cased

// What a run does to a note. The program uses kOperations; only the
// benchmarks pass anything else (the ICU pipeline they compare with).
struct Operations {
  // As the rewritings in namespace rewrite::into: true when the result is in
  // `out`, false when it is in `text`.
  using Rewrite = bool (*)(platform::Buffer& text, platform::Buffer& out);
  std::string (*extractValueForKey)(std::string_view text, std::string_view key);
  std::string (*createName)(std::string_view text, std::string_view argument0);
  Rewrite markHeadingAndSubheadings;
  Rewrite addTrailingSpaces;
  Rewrite translateAttachmentLinks;
  Rewrite replaceCheckboxes;
  Rewrite convertLinksToMarkdown;
};

extern const Operations kOperations;

// The whole life of the process; returns its exit status, 0 or 1. Everything
// it prints goes to standard output; nothing ever reaches standard error.
// `operations` is for the benchmarks only.
int run(int argc, const char* const* argv, const Operations& operations = kOperations);

}  // namespace note2md::app
