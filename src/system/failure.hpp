// How every failure travels from the step that met it to the error line: one
// exception, Failure, that names the step and carries the answer it got (an
// errno, or ICU's error code for the text services), and what the words need
// besides (a name, a byte offset). The path is attached on the way up, by
// the entries that know it (readFile, writeFileAtomically, and the run for
// what happens between them). cli/error_line.cpp words every step; nothing
// here holds words.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <utility>

namespace note2md::system {

enum class Step : unsigned char {
  // Reading the note and making it text.
  read,         // opening or reading it: error is the errno
  notUtf8,      // offset: the first bad byte
  notEncoding,  // detail: the encoding its byte-order mark names; offset: the first bad unit
  noConverter,  // detail: the encoding; error: ICU's code
  upperCasing,  // error: ICU's code
  graphemes,    // error: ICU's code
  tooLarge,     // a text beyond the largest note: error is EFBIG
  // Where the output may go: the walk and the rules for an existing file.
  write,           // walking the path, writing, flushing, naming: the errno
  notRegular,      // a device, a pipe
  descriptorPath,  // through a folder of open descriptors
  stickyLink,      // a link of another user in a shared sticky folder
  stickyFile,      // a file of another user in a shared sticky folder
  otherOwner,      // a file of another user, which only ">" could write into and keep theirs
  linkMeanwhile,   // a link where a file stood when the path was followed
  keptChanging,    // the name changed under every try
  auxiliaryTaken,  // another program put its own file under the auxiliary name
  // A folder whose names cannot be removed or renamed, for a new file and
  // for an existing one, which ">" would write into in place.
  appendOnlyFolder,
  appendOnlyFolderOfFile,
  immutableFolder,
  immutableFolderOfFile,
  createInFolder,  // the errno
  // What an existing file hands on.
  readAttributes,
  readAcl,
  listAttributes,
  readAttribute,  // detail: the attribute's name
  setOwner,
  setAcl,
  setAttribute,  // detail: the attribute's name
  setFlags,
  setCreationDate,
  setMode,
  // After the new file is in place.
  flushFolder,
};

enum class Access : unsigned char { none, read, write };

class Failure : public std::exception {
 public:
  explicit Failure(Step step, int error = 0, std::string detail = {}, std::size_t offset = 0)
      : step(step), error(error), detail(std::move(detail)), offset(offset) {}
  // The words are error_line's; this only names the kind.
  const char* what() const noexcept override { return "note2md::system::Failure"; }

  // Attaches the path that was being read or written.
  void at(Access how, const std::string& where) {
    access = how;
    path = where;
  }

  Step step;
  int error;
  std::string detail;
  std::size_t offset;
  Access access = Access::none;
  std::string path;
  // An auxiliary file that could not be removed after the failure, and why.
  std::string leftBehind;
  int leftError = 0;
  // The auxiliary file that holds the new text where the old file is gone.
  std::string keptIn;
};

}  // namespace note2md::system
