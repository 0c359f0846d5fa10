#include "cli/run.hpp"

#include <exception>
#include <string>
#include <string_view>

#include "cli/detail.hpp"
#include "cli/error_line.hpp"
#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "metadata/record.hpp"
#include "rewrite/rewrite.hpp"
#include "system/failure.hpp"
#include "system/file.hpp"
#include "system/output.hpp"
#include "system/signals.hpp"
#include "unicode/decode.hpp"
#include "unicode/services.hpp"

namespace note2md::cli {
namespace {

// The run-wide values: set once from the command line, read only here.
std::string filePath;        // the note to read, argument 1 verbatim
std::string outputFilePath;  // the Markdown file to write, argument 2 verbatim
std::string argString;       // the option letters, argument 3 upper-cased

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

// The letters in the order of their rewritings, whatever the order of the
// letters in the argument.
constexpr std::string_view kLetters[] = {"H", "S", "A", "X", "L"};

constexpr detail::Operations kOperations = {
    metadata::extractValueForKey,
    metadata::createName,
    {rewrite::markHeadingAndSubheadings, rewrite::addTrailingSpaces, rewrite::translateAttachmentLinks,
     rewrite::replaceCheckboxes, rewrite::convertLinksToMarkdown},
};

// Shown in the usage text when the process was started without even a name.
constexpr std::string_view kProgramName = "note2md";

int printError(const std::exception& error) {
  system::printLine("Error: " + describe(error));
  return 1;
}

int convert(std::string_view argument0, const detail::Operations& operations) {
  system::Buffer note = system::readFile(filePath);
  try {
    unicode::decodeNote(note);
  } catch (system::Failure& failure) {
    failure.at(system::Access::read, filePath);
    throw;
  }
  // The metadata comes from the note as read, whatever the options.
  const std::string tagValue = operations.extractValueForKey(note, "Tag\\(s\\):");
  const std::string createdValue = operations.extractValueForKey(note, "Created:");
  const std::string updatedValue = operations.extractValueForKey(note, "Updated:");
  const std::string name = operations.createName(note, argument0);

  // Two buffers take turns, so that a large note costs little more than its
  // largest version in memory however many rewritings run.
  system::Buffer working = std::move(note);
  system::Buffer spare;
  try {
    for (std::size_t i = 0; i < std::size(kLetters); ++i) {
      if (argString.find(kLetters[i]) == std::string::npos) continue;
      if (operations.rewrites[i](working, spare)) working.swap(spare);
    }
  } catch (system::Failure& failure) {
    // The Markdown would be longer than the largest note.
    if (failure.step == system::Step::tooLarge) failure.at(system::Access::write, outputFilePath);
    throw;
  }
  system::writeFileAtomically(outputFilePath, working);
  // The caller learns of the conversion only from this line.
  return system::printLine(metadata::metadataRecord(tagValue, createdValue, updatedValue, name)) ? 0 : 1;
}

}  // namespace

int detail::run(int argc, const char* const* argv, const Operations& operations) {
  system::guardProcess();
  if (argc != 4) {
    std::string_view program = (argc > 0 && argv[0] != nullptr) ? std::string_view(argv[0]) : kProgramName;
    system::printLine(std::string("Usage: ").append(program).append(kUsage));
    return 1;
  }
  try {
    filePath = argv[1];
    outputFilePath = argv[2];
    argString = unicode::toUpper(argv[3]);
    return convert(argv[0], operations);
  } catch (const std::exception& error) {
    return printError(error);
  }
}

int run(int argc, const char* const* argv) { return detail::run(argc, argv, kOperations); }

}  // namespace note2md::cli
