// What a replaced file hands on to the file that replaces it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "system/descriptor.hpp"
#include "system/destination.hpp"
#include "system/existing_file.hpp"
#include "system/os.hpp"

namespace note2md::system {

// The existing file's attributes, read from the held file before the new
// file is made.
struct OldAttributes {
  struct stat status {};
  std::vector<std::pair<std::string, std::vector<char>>> extended;  // those that go on, the ACL aside
  bool hasAcl = false;
  std::vector<char> acl;  // as the system stores it
  // The old file open, where it was opened to be read, until the try ends: on
  // a file system that frees a file that only an O_PATH descriptor holds
  // (FUSE), its number could otherwise go to another file meanwhile.
  Descriptor open;
};

// Reads what the held file `existing` hands on. Throws NameChanged when its name
// has gone meanwhile (as a file system that works by path says), and Failure
// (readAttributes, readAcl, listAttributes, readAttribute) when something
// cannot be read, as it would be lost.
OldAttributes readOldAttributes(const Destination& destination, const ExistingFile& existing);

// Gives the new file `file` the owner, group, permission bits, ACL and
// extended attributes of the old one, never wider: never set-user-ID or
// set-group-ID, no group permissions when the group cannot be kept, and
// never another owner (setOwner). The extended attributes, flags and dates
// go first, the ACL and the mode last, as these may take away the right to
// set the others. Throws Failure (setOwner, setAcl, setAttribute, setFlags,
// setCreationDate, setMode); the file is then not to be used.
void carryAttributes(int file, const OldAttributes& old);

// The flags the new file must be given, where they differ from its own
// `newFile`: its own but for the `carried` ones, which are the old file's.
// A new file may have flags of its folder's that the caller may not change
// (SF_RESTRICTED, UF_DATAVAULT on macOS), so they are left as they are.
std::optional<unsigned> flagsToSet(unsigned newFile, unsigned old, unsigned carried = os::kCarriedFlags);

// Whether an extended attribute stays behind: one that belongs to the old
// content (a program's capabilities, integrity records, a code signature,
// the quarantine of a download) or that only the system may set, and on
// macOS whatever its safe save drops.
bool mustNotCarry(std::string_view name);

}  // namespace note2md::system
