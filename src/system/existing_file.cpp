#include "system/existing_file.hpp"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "system/failure.hpp"
#include "system/os.hpp"

namespace note2md::system {
namespace {

// Whether the existing file may be replaced: false when it has gone
// meanwhile. Throws when a rule refuses it.
bool mayReplace(const Destination& destination) {
  const struct stat& file = destination.status;
  const struct stat& folder = destination.folderStatus;
  const uid_t caller = ::geteuid();
  // The kernel's rule for files in shared sticky folders (protected_regular),
  // whatever the system's setting: another user's file there is not written,
  // not even by root, lest it hand the text to that user.
  if (isSharedSticky(folder) && file.st_uid != caller && file.st_uid != folder.st_uid) throw Failure(Step::stickyFile);
  // Only where ">" could write: root may, anyone else needs write permission.
  if (::faccessat(destination.folder.get(), destination.name.c_str(), W_OK, AT_EACCESS) != 0) {
    if (errno == ENOENT) return false;
    throw Failure(Step::write, errno);
  }
  // In any sticky folder the kernel lets a name be replaced only by the
  // file's owner, the folder's owner or root, where ">" would still write
  // into the file: refused before the text is written, and said so.
  if ((folder.st_mode & S_ISVTX) && caller != 0 && file.st_uid != caller && folder.st_uid != caller)
    throw Failure(Step::stickyRename);
  return true;
}

// The destination exists as `status`: may it be replaced, and by what name?
// It is a new file again when it has gone meanwhile.
void examine(Destination& destination, const struct stat& status) {
  destination.status = status;
  destination.exists = mayReplace(destination);
  // Not for a file with other hard links, whose stored name may be another
  // link's.
  if (destination.exists && status.st_nlink == 1)
    destination.name = os::storedName(destination.folder.get(), destination.name);
}

}  // namespace

void checkExisting(Destination& destination) {
  if (destination.exists) examine(destination, destination.status);
}

bool putInPlace(Destination& destination, PendingFile& file) {
  PendingFile::Placed placed = file.commit(destination.name, destination.exists);
  for (int tries = 0; placed == PendingFile::Placed::nameTaken && tries < 100; ++tries) {
    // Another run made the new file meanwhile: what stands there now?
    struct stat status {};
    if (::fstatat(destination.folder.get(), destination.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) break;
    } else if (!S_ISREG(status.st_mode)) {
      break;
    } else {
      examine(destination, status);
    }
    placed = file.commit(destination.name, destination.exists);
  }
  if (placed == PendingFile::Placed::nameTaken) throw Failure(Step::write, EEXIST);
  return placed == PendingFile::Placed::done;
}

}  // namespace note2md::system
