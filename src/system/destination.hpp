// Where an output path leads: the folder that will hold the file, opened
// once, and the file's name in it. Everything after that works relative to
// the folder's descriptor, so a folder swapped during the run changes
// nothing and a path may be as long as the kernel accepts.
#pragma once

#include <string>

#include <sys/stat.h>

#include "system/descriptor.hpp"

namespace note2md::system {

struct Destination {
  Descriptor folder;
  struct stat folderStatus {};
  std::string name;  // one component, never "." or ".."
  bool exists = false;
  struct stat status {};  // of the existing file
};

// Follows `path` as the shell's ">" does (links to the file they name, which
// need not exist yet), with the rule of sticky shared folders applied at
// every link. Throws FileError for "write" when the path cannot lead to a
// regular file that may be written.
Destination findDestination(const std::string& path);

// Whether an existing file may be replaced: in a shared sticky folder only
// the caller's or the folder owner's, and only with write permission (root
// has it). Throws FileError for "write" otherwise.
void mayReplace(const Destination& destination, const std::string& path);

// A new destination that a regular file has taken meanwhile (two runs that
// write the same new file): true when that file may be replaced, as ">"
// would truncate it, false when something else stands there now. Throws as
// mayReplace does.
bool appeared(Destination& destination, const std::string& path);

}  // namespace note2md::system
