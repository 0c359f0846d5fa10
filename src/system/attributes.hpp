// What a replaced file hands on to the file that replaces it.
#pragma once

#include <string>
#include <string_view>

#include "system/destination.hpp"

namespace note2md::system {

// Gives the new file `file` the owner, group, permission bits, access control
// list and extended attributes of the existing destination, never wider:
// never set-user-ID or set-group-ID, no group permissions when the group
// cannot be kept, no file capabilities. Returns an empty string or why the
// attributes could not all be carried; the file is then not to be used.
std::string carryAttributes(int file, const Destination& destination);

// Whether an extended attribute stays behind: one that belongs to the old
// content (a program's capabilities, integrity records, a code signature,
// the quarantine of a download) or that only the system may set.
bool mustNotCarry(std::string_view name);

}  // namespace note2md::system
