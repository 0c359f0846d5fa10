// What stands at the destination's name as a try to write it begins: nothing,
// or a file that may be replaced, held open until the new file takes its
// place, so that the rules and the attributes carried are those of that
// very file.
#pragma once

#include <optional>
#include <string>

#include <sys/stat.h>

#include "system/descriptor.hpp"
#include "system/destination.hpp"

namespace note2md::system {

struct ExistingFile {
  Descriptor held;        // from the check to the commit: its number cannot be reused meanwhile
  struct stat status {};  // the held file's
  std::string name;       // as the folder stores it
};

// Thrown when the name no longer holds what a try saw there: the try starts
// over with a fresh look.
struct NameChanged {};

// Holds what stands at the name and applies the rules of ">" to it: nullopt
// when the name is free. A file is replaced only with write permission; in
// a shared sticky folder only the caller's or the folder owner's
// (stickyFile); only where its owner can be kept, the caller's own file or
// any as root, as a replacement that belongs to another user would take it
// from them (otherOwner). Throws Failure for a link (linkMeanwhile), a
// folder (EISDIR), anything else that is no regular file (notRegular) and
// each rule; NameChanged when the file went before the rules were applied.
std::optional<ExistingFile> checkExisting(const Destination& destination);

}  // namespace note2md::system
