// The real binary, end to end: what it prints, its exit status and the files
// it leaves behind.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/rewrite_text.hpp"
#include "support/process.hpp"

namespace note2md {
namespace {

using testing::Launch;
using testing::Outcome;
using testing::ScratchDirectory;
using testing::readFile;
using testing::runNote2md;
using testing::writeFile;
using testing::addTrailingSpaces;
using testing::convertLinksToMarkdown;
using testing::markHeadingAndSubheadings;
using testing::replaceCheckboxes;
using testing::translateAttachmentLinks;

const std::string kUsageRest =
    " file_path output_file_path \"argumentString\"\n"
    "where argumentString contains H to request attempt to prefix potential headings with # and subheadings with "
    "## for improved Markdown rendering;\n"
    "S to request appending two spaces to lines up to 100 characters long in groups of more than one so they are "
    "not concatenated when rendered;\n"
    "A to replace Quillory style attachment links with a form that renders in Markdown as a link next to an "
    "image;\n"
    "X to request that unchecked checkboxes are replaced with [ ] and checked checkboxes with [x];\n"
    "L to request that web links be translated to markdown format.\n"
    "For example, \"HA\" would request headings and link translation, but not extra spaces, checkboxes, or web "
    "links.\n";

TEST(CommandLine, AnyOtherArgumentCountPrintsTheUsageText) {
  ScratchDirectory scratch;
  writeFile(scratch.file("note.txt"), "Title\n");
  const std::string note = scratch.file("note.txt");
  const std::string out = scratch.file("out.md");
  const std::vector<std::vector<std::string>> argumentLists = {
      {"./bin/note2md"},
      {"note2md", note, out},
      {"note2md", note, out, "H", "extra"},
      {"weird name", note},
      {},  // not even argument 0: must not crash
  };
  for (const auto& argv : argumentLists) {
    Launch launch;
    launch.argv = argv;
    Outcome outcome = testing::run(launch);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.out.starts_with("Usage: " + (argv.empty() ? "" : argv[0])));
    EXPECT_TRUE(outcome.out.ends_with(kUsageRest)) << outcome.out;
    if (!argv.empty()) {
      EXPECT_EQ(outcome.out, "Usage: " + argv[0] + kUsageRest);
    }
    EXPECT_EQ(outcome.err, "");
  }
  EXPECT_EQ(scratch.entries(), std::vector<std::string>{"note.txt"});
}

class Conversion : public ::testing::Test {
 protected:
  ScratchDirectory scratch;
  std::string note = scratch.file("note.txt");
  std::string out = scratch.file("out.md");

  // A run that fails must say so on one line and leave nothing behind.
  void expectError(const Outcome& outcome, const std::string& message) {
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "Error: " + message + "\n");
    EXPECT_EQ(outcome.err, "");
  }
};

TEST_F(Conversion, AnUnreadableNoteEndsTheRunWithoutWriting) {
  writeFile(scratch.file("latin1.txt"), "caf\xE9\n");
  mkdir(scratch.file("folder").c_str(), 0755);
  struct Case {
    std::string input;
    std::string message;
  };
  const Case cases[] = {
      {scratch.file("absent.txt"), "cannot read \"" + scratch.file("absent.txt") + "\": No such file or directory"},
      {scratch.file("folder"), "cannot read \"" + scratch.file("folder") + "\": Is a directory"},
      {scratch.file("latin1.txt"), "cannot read \"" + scratch.file("latin1.txt") +
                                       "\": not valid UTF-8 text (ill-formed byte sequence at byte offset 3)"},
  };
  for (const auto& c : cases) {
    expectError(runNote2md({c.input, out, "HSAXL"}), c.message);
    EXPECT_EQ(access(out.c_str(), F_OK), -1) << c.input;
  }
}

TEST_F(Conversion, AFailedWriteLeavesTheOldFileAndNoAuxiliaryFile) {
  // A file-size limit makes the write fail half way, as a full disk would.
  writeFile(note, std::string(100000, 'x'));
  writeFile(out, "previous");
  Launch launch;
  launch.argv = {testing::binaryPath(), note, out, ""};
  launch.fileSizeLimit = 4096;
  Outcome outcome = testing::run(launch);
  expectError(outcome, "cannot write \"" + out + "\": File too large");
  EXPECT_EQ(readFile(out), "previous");
  EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"note.txt", "out.md"}));
}

TEST_F(Conversion, MayWriteOverItsOwnInput) {
  writeFile(note, "\xFF\xFE" + std::string("o\0k\0", 4));
  EXPECT_EQ(runNote2md({note, note, ""}).status, 0);
  EXPECT_EQ(readFile(note), "ok");
  EXPECT_EQ(scratch.entries(), std::vector<std::string>{"note.txt"});
}

class Options : public Conversion {
 protected:
  const std::string text =
      "Title\n\nl1\nl2 \xE2\x98\x90 xatch:///Attachments/a.png http://x.org/\n\n\nSection\n\n"
      "\xE2\x98\x92 done\n";

  std::string convert(const std::string& options) {
    writeFile(note, text);
    Outcome outcome = runNote2md({note, out, options});
    EXPECT_EQ(outcome.status, 0) << options;
    EXPECT_EQ(outcome.err, "");
    return readFile(out);
  }
};

TEST_F(Options, EachLetterRequestsItsRewritingInAnyCase) {
  using Rewrite = std::string (*)(std::string_view);
  const std::pair<const char*, Rewrite> cases[] = {
      {"H", markHeadingAndSubheadings}, {"h", markHeadingAndSubheadings},  {"HH", markHeadingAndSubheadings},
      {"HZ9", markHeadingAndSubheadings}, {"S", addTrailingSpaces},       {"\xC3\x9F", addTrailingSpaces},
      {"a", translateAttachmentLinks},  {"-x", replaceCheckboxes},        {"L", convertLinksToMarkdown},
  };
  for (const auto& [options, rewrite] : cases) {
    const std::string expected = rewrite(text);
    ASSERT_NE(expected, text) << options;
    EXPECT_EQ(convert(options), expected) << options;
  }
  EXPECT_EQ(convert(""), text);
  EXPECT_EQ(convert("Z9?"), text);
}

TEST_F(Options, RewritingsRunInTheOrderHSAXL) {
  const std::string expected =
      convertLinksToMarkdown(replaceCheckboxes(translateAttachmentLinks(addTrailingSpaces(
          markHeadingAndSubheadings(text)))));
  // The order matters for this note: line breaks before attachments differ from after.
  ASSERT_NE(expected, convertLinksToMarkdown(replaceCheckboxes(addTrailingSpaces(translateAttachmentLinks(
                          markHeadingAndSubheadings(text))))));
  for (const char* options : {"HSAXL", "hsaxl", "LXASH", "xlhas", "LLXXAASSHH"}) {
    EXPECT_EQ(convert(options), expected) << options;
  }
}

class Record : public Conversion {};

TEST_F(Record, ThatCannotBePrintedIsAFailure) {
  writeFile(note, "Title\n");
  Launch launch;
  launch.argv = {testing::binaryPath(), note, out, ""};
  launch.closeStandardOutput = true;
  Outcome outcome = testing::run(launch);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(readFile(out), "Title\n");
}

TEST_F(Record, NamesAShortNoteAfterTheProgramPath) {
  writeFile(note, "Hi!\n");
  const std::pair<std::string, std::string> cases[] = {
      {"tools/conv \"1\".x", "/conv \\\"1\\\".x"},
      {"tools/line\nbreak", "/line\\nbreak"},
      {"note2md", ""},
  };
  for (const auto& [argument0, name] : cases) {
    Launch launch;
    launch.argv = {argument0, note, out, "H"};
    launch.program = testing::binaryPath();
    Outcome outcome = testing::run(launch);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "{tagList:{}, createdDate:\"\", updatedDate:\"\", name:\"" + name + "\"}\n");
  }
}

}  // namespace
}  // namespace note2md
