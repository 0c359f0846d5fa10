#include "app/run.hpp"

#include <exception>
#include <new>
#include <string_view>

#include "app/record.hpp"
#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "platform/file.hpp"
#include "platform/output.hpp"
#include "platform/process.hpp"
#include "platform/text.hpp"
#include "rewrite/rewrite.hpp"

namespace note2md::app {

std::string filePath;
std::string outputFilePath;
std::string argString;

namespace {

constexpr std::string_view kUsage =
    " file_path output_file_path \"argumentString\"\n"
    "where argumentString contains H to request attempt to prefix potential headings with # and subheadings "
    "with ## for improved Markdown rendering;\n"
    "S to request appending two spaces to lines up to 100 characters long in groups of more than one so they "
    "are not concatenated when rendered;\n"
    "A to replace Quillory style attachment links with a form that renders in Markdown as a link next to an "
    "image;\n"
    "X to request that unchecked checkboxes are replaced with [ ] and checked checkboxes with [x];\n"
    "L to request that web links be translated to markdown format.\n"
    "For example, \"HA\" would request headings and link translation, but not extra spaces, checkboxes, or web "
    "links.";

struct Rewriting {
  std::string_view letter;
  Operations::Rewrite Operations::*apply;
};

// The order of this table is the order of the rewritings, whatever the order
// of the letters.
constexpr Rewriting kRewritings[] = {
    {"H", &Operations::markHeadingAndSubheadings}, {"S", &Operations::addTrailingSpaces},
    {"A", &Operations::translateAttachmentLinks},  {"X", &Operations::replaceCheckboxes},
    {"L", &Operations::convertLinksToMarkdown},
};

// Shown in the usage text when the process was started without even a name.
constexpr std::string_view kProgramName = "note2md";

int fail(std::string_view description) {
  platform::printLine(std::string("Error: ").append(description));
  return 1;
}

int convert(std::string_view argument0, const Operations& operations) {
  platform::Buffer note = platform::readTextFile(filePath);
  // The metadata comes from the note as read, whatever the options.
  const std::string tagValue = operations.extractValueForKey(note, "Tag\\(s\\):");
  const std::string createdValue = operations.extractValueForKey(note, "Created:");
  const std::string updatedValue = operations.extractValueForKey(note, "Updated:");
  const std::string name = operations.createName(note, argument0);

  // Two buffers take turns, so that a large note costs little more than its
  // largest version in memory however many rewritings run.
  platform::Buffer working = std::move(note);
  platform::Buffer spare;
  for (const Rewriting& rewriting : kRewritings) {
    if (argString.find(rewriting.letter) == std::string::npos) continue;
    if ((operations.*rewriting.apply)(working, spare)) working.swap(spare);
  }
  platform::writeFileAtomically(outputFilePath, working);
  // The caller learns of the conversion only from this line.
  return platform::printLine(metadataRecord(tagValue, createdValue, updatedValue, name)) ? 0 : 1;
}

}  // namespace

const Operations kOperations = {
    metadata::extractValueForKey,
    metadata::createName,
    rewrite::into::markHeadingAndSubheadings,
    rewrite::into::addTrailingSpaces,
    rewrite::into::translateAttachmentLinks,
    rewrite::into::replaceCheckboxes,
    rewrite::into::convertLinksToMarkdown,
};

int run(int argc, const char* const* argv, const Operations& operations) {
  platform::guardProcess();
  if (argc != 4) {
    std::string_view program = (argc > 0 && argv[0] != nullptr) ? std::string_view(argv[0]) : kProgramName;
    platform::printLine(std::string("Usage: ").append(program).append(kUsage));
    return 1;
  }
  try {
    filePath = argv[1];
    outputFilePath = argv[2];
    argString = platform::toUpper(argv[3]);
    return convert(argv[0], operations);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  } catch (const std::exception& error) {
    return fail(error.what());
  }
}

}  // namespace note2md::app
