// The example notes: each converts with HSAXL to exactly the Markdown and
// record stored beside it, and that Markdown renders as intended in a real
// CommonMark renderer (every line of NAME.html is in the rendered HTML).
#include <algorithm>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "support/process.hpp"

namespace note2md {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

std::vector<fs::path> exampleNotes() {
  std::vector<fs::path> notes;
  for (const auto& entry : fs::directory_iterator(NOTE2MD_EXAMPLES))
    if (entry.path().extension() == ".txt") notes.push_back(entry.path());
  std::sort(notes.begin(), notes.end());
  return notes;
}

std::string sibling(const fs::path& note, const char* extension) {
  return fs::path(note).replace_extension(extension).string();
}

TEST(Examples, ConvertToTheStoredMarkdownAndRecord) {
  testing::ScratchDirectory scratch;
  const std::vector<fs::path> notes = exampleNotes();
  ASSERT_GE(notes.size(), 6u);
  for (const fs::path& note : notes) {
    SCOPED_TRACE(note.string());
    const std::string out = scratch.file("out.md");
    testing::Outcome outcome = testing::runNote2md({note.string(), out, "HSAXL"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, readFile(sibling(note, ".record")));
    EXPECT_EQ(readFile(out), readFile(sibling(note, ".md")));
  }
}

TEST(Examples, RenderAsIntended) {
  const std::string renderer = testing::findProgram("cmark-gfm");
  if (renderer.empty()) GTEST_SKIP() << "cmark-gfm is not installed (Debian package cmark-gfm)";
  for (const fs::path& note : exampleNotes()) {
    SCOPED_TRACE(note.string());
    testing::Launch launch;
    launch.program = renderer;
    launch.argv = {"cmark-gfm", sibling(note, ".md")};
    testing::Outcome rendered = testing::run(launch);
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    std::istringstream expected(readFile(sibling(note, ".html")));
    int checked = 0;
    for (std::string line; std::getline(expected, line); ++checked)
      EXPECT_NE(rendered.out.find(line), std::string::npos) << line << "\nin:\n" << rendered.out;
    EXPECT_GT(checked, 0);
  }
}

}  // namespace
}  // namespace note2md
