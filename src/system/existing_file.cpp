#include "system/existing_file.hpp"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "system/failure.hpp"
#include "system/os.hpp"

namespace note2md::system {
namespace {

// Throws when a rule refuses the held file `file`, open as `held`.
void applyRules(const Destination& destination, int held, const struct stat& file) {
  const struct stat& folder = destination.folderStatus;
  const uid_t caller = ::geteuid();
  // The kernel's rule for files in shared sticky folders (protected_regular),
  // whatever the system's setting: another user's file there is not written,
  // not even by root, lest it hand the text to that user.
  if (isSharedSticky(folder) && !sameUser(file.st_uid, caller) && !sameUser(file.st_uid, folder.st_uid))
    throw Failure(Step::stickyFile);
  // Only where ">" could write: root may, anyone else needs write permission.
  // (Where that is asked by name, another file that took it since is found
  // out by the commit.)
  if (const int error = os::mayWrite(held, destination.folder.get(), destination.name.c_str()); error != 0) {
    if (error == ENOENT) throw NameChanged{};
    throw Failure(Step::write, error);
  }
  // ">" keeps the file its owner's; a replacement is the caller's unless the
  // caller may give it away, which only root may (and in a user namespace
  // only to an owner that it maps). In a sticky folder the kernel would not
  // even let another user rename over it.
  if (!sameUser(file.st_uid, caller) && !(caller == 0 && os::knownUser(file.st_uid))) throw Failure(Step::otherOwner);
}

}  // namespace

std::optional<ExistingFile> checkExisting(const Destination& destination) {
  const int folder = destination.folder.get();
  const char* name = destination.name.c_str();
  ExistingFile file;
  file.held = Descriptor(os::holdOld(folder, name));
  if (!file.held.valid()) {
    if (errno == ENOENT) return std::nullopt;
    // Where a link cannot be held without following it (O_NOFOLLOW).
    if (errno == ELOOP) throw Failure(Step::linkMeanwhile);
    // A FIFO without a reader, opened for writing where it may not be read.
    if (errno == ENXIO) throw Failure(Step::notRegular);
    throw Failure(Step::write, errno);
  }
  // A file system that works by path (FUSE) may answer ENOENT for an open
  // file whose name has gone.
  if (::fstat(file.held.get(), &file.status) != 0) {
    if (errno == ENOENT) throw NameChanged{};
    throw Failure(Step::write, errno);
  }
  if (S_ISLNK(file.status.st_mode)) throw Failure(Step::linkMeanwhile);
  if (S_ISDIR(file.status.st_mode)) throw Failure(Step::write, EISDIR);
  // Renaming over a device or a pipe would replace the node itself.
  if (!S_ISREG(file.status.st_mode)) throw Failure(Step::notRegular);
  applyRules(destination, file.held.get(), file.status);
  // A file with other hard links keeps the name given: the stored one may be
  // another link's.
  file.name = file.status.st_nlink == 1 ? os::storedName(folder, destination.name) : destination.name;
  return file;
}

}  // namespace note2md::system
