// The rules for a destination that exists, or that another run makes while
// this one writes: whether it may be replaced, by which name, and what
// stands there when the new file's name turns out to be taken.
#pragma once

#include "system/destination.hpp"
#include "system/pending_file.hpp"

namespace note2md::system {

// Whether the existing destination may be replaced, as ">" could write it:
// in a shared sticky folder only the caller's or the folder owner's file
// (stickyFile), only with write permission (Step::write, EACCES; root has
// it), and in any sticky folder only where the kernel lets the caller
// replace the name (stickyRename). Sets the name as the folder stores it.
// A file gone meanwhile makes the destination a new file again.
void checkExisting(Destination& destination);

// Puts the pending file in place as the destination. A new name that
// another run took meanwhile is replaced where that file may be (as a
// second ">" would), and tried again as new when it is free again (file
// systems that replace a name in two steps). False when the pending file
// can never be named here (see PendingFile::Placed::cannotName).
bool putInPlace(Destination& destination, PendingFile& file);

}  // namespace note2md::system
