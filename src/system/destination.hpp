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
// regular file that may be written. A file that vanishes while it is looked
// at is a new file again.
Destination findDestination(const std::string& path);

// What stands at a new destination's name when a run finds it taken (two
// runs that write the same new file): nothing any more (the other run's
// file systems replace a name in two steps), a regular file that may be
// replaced, as ">" would truncate it, or something else. Throws FileError
// for "write" when the rules for an existing file refuse it.
enum class Found { nothing, replaceable, other };
Found lookAgain(Destination& destination, const std::string& path);

}  // namespace note2md::system
