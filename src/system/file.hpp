// Reading a note and writing the result, the two entries of src/system/.
// Failures throw Failure with the path attached.
//
// The rules of the write, and where each is kept:
// - only where the shell's ">" could write: the path is walked once, from
//   the folder it starts in, each link followed as the kernel would, never
//   into a folder of open descriptors (findDestination, destination.cpp);
// - each try to write it looks at the name anew and holds what stands
//   there open until the commit, so that the rules, the attributes carried
//   and the file replaced are of one and the same file (checkExisting,
//   existing_file.cpp); a name that changed meanwhile starts the try over,
//   a bounded number of times (here);
// - an existing file is replaced only with write permission, in a shared
//   sticky folder only when it is the caller's or the folder owner's, only
//   where its owner can be kept, and under the name the folder stores;
//   owners that a user namespace does not map match no one
//   (checkExisting);
// - what the old file hands on (owner, group, mode, ACL, attributes, flags,
//   dates), never wider, and nothing that belongs to its content or the
//   system (readOldAttributes, carryAttributes, attributes.cpp);
// - a new file gets what ">" gives it, and only where the name is free at
//   the commit (PendingFile, pending_file.cpp);
// - the text appears whole or not at all, also after a power loss: written
//   to a pending file, flushed, then named or renamed into place (flush,
//   flush.cpp; PendingFile::commit), and the folder flushed (here);
// - a file with other hard links is replaced under the name given; the
//   other names keep the old text, where ">" would write into all of them;
// - nothing is left behind: an unnamed file cannot stay; an auxiliary one is
//   removed on failure and on ending signals (PendingFile, signals.cpp), is
//   never made where it could not be removed, and is named in the error
//   line if it ever cannot be. A failure leaves the destination as it was,
//   but when only the folder's flush failed: the new text is then in place.
#pragma once

#include <string>
#include <string_view>

#include "system/buffer.hpp"

namespace note2md::system {

// The whole file's bytes, at most kLargestText.
Buffer readFile(const std::string& path);

// Replaces the file at `path` with `text` in one step, as the shell's ">"
// could write it: the destination holds either its previous content or all
// of `text`, never a part, also after a power loss. An existing file hands
// on its attributes; a new one gets what ">" would give it.
void writeFileAtomically(const std::string& path, std::string_view text);

}  // namespace note2md::system
