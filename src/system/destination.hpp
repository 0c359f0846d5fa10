// Where an output path leads: the folder that will hold the file, opened
// once, and the file's name in it. Everything after that works relative to
// the folder's descriptor, so a folder swapped during the run changes
// nothing and a path may be as long as the kernel accepts. What stands at
// the name is looked at anew by each try to write it (existing_file.hpp).
#pragma once

#include <string>

#include <sys/stat.h>

#include "system/descriptor.hpp"
#include "system/os.hpp"

namespace note2md::system {

struct Destination {
  Descriptor folder;
  struct stat folderStatus {};
  std::string name;  // one component, never "." or ".."
};

// Follows `path` as the shell's ">" does (links to the file they name, which
// need not exist yet), with the rule of shared sticky folders applied at
// every link. Throws Failure when the path cannot lead to a regular file:
// Step::write with the errno, notRegular, descriptorPath or stickyLink.
Destination findDestination(const std::string& path);

// Sticky and writable by anyone, such as /tmp: the folder where other users
// may plant links and files.
inline bool isSharedSticky(const struct stat& folder) {
  return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
}

// The same user, as the kernel compares owners: one that a user namespace
// does not map matches no one, not even another owner it does not map.
inline bool sameUser(uid_t one, uid_t other) { return one == other && os::knownUser(one); }

}  // namespace note2md::system
