#include "system/pending_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __APPLE__
#include <sys/random.h>
#endif

#include "system/error.hpp"
#include "system/platform.hpp"
#include "system/signals.hpp"

namespace note2md::system {
namespace {

// ".note2md-" and twelve characters nobody can guess.
std::string auxiliaryName() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[12];
  if (::getentropy(random, sizeof random) != 0) {
    // Only the name's uniqueness is at stake: O_EXCL keeps the file ours.
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t seed = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(::getpid()) << 32);
    for (auto& byte : random) byte = static_cast<unsigned char>((seed = seed * 6364136223846793005ULL + 1) >> 56);
  }
  std::string name = ".note2md-";
  for (unsigned char byte : random) name += kLetters[byte % (sizeof kLetters - 1)];
  return name;
}

// Whether an O_TMPFILE failure only means that it is not to be had here.
bool unnamedUnsupported(int error) {
  // EISDIR: a kernel that does not know O_TMPFILE takes it for O_DIRECTORY.
  return error == EOPNOTSUPP || error == ENOTSUP || error == EISDIR || error == EINVAL;
}

// Renames `from` to `to` in `folder` unless `to` exists (EEXIST): a file
// that another run or user put there meanwhile is never replaced unseen.
int renameExclusive(int folder, const char* from, const char* to) {
#if defined(__APPLE__)
  if (::renameatx_np(folder, from, folder, to, RENAME_EXCL) == 0) return 0;
#elif defined(__linux__) && defined(RENAME_NOREPLACE)
  if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return 0;
#else
  errno = ENOTSUP;
#endif
  const int error = errno;
  if (error != EINVAL && error != ENOTSUP && error != EOPNOTSUPP && error != ENOSYS) return error;
  // A file system that cannot rename exclusively (FAT through FUSE, some
  // network ones): look, then rename. Only a file made within that moment
  // can still be replaced.
  struct stat status {};
  if (::fstatat(folder, to, &status, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return ::renameat(folder, from, folder, to) == 0 ? 0 : errno;
}

// What keeps every name in the folder where it is, or nullptr.
const char* folderLock(int folder) {
#if defined(__linux__) && defined(STATX_ATTR_APPEND)
  struct statx status {};
  if (::statx(folder, "", AT_EMPTY_PATH, 0, &status) != 0) return nullptr;
  const auto flags = status.stx_attributes & status.stx_attributes_mask;
  if (flags & STATX_ATTR_IMMUTABLE) return "immutable: nothing in it can be created, renamed or removed";
  if (flags & STATX_ATTR_APPEND) return "append-only: nothing in it can be renamed or removed";
#elif defined(__APPLE__)
  struct stat status {};
  if (::fstat(folder, &status) != 0) return nullptr;
  if (status.st_flags & (UF_IMMUTABLE | SF_IMMUTABLE)) return "immutable: nothing in it can be created, renamed or removed";
  if (status.st_flags & (UF_APPEND | SF_APPEND)) return "append-only: nothing in it can be renamed or removed";
#else
  (void)folder;
#endif
  return nullptr;
}

}  // namespace

PendingFile::PendingFile(int folder, bool replacing, bool named, const std::string& path)
    : folder_(folder), path_(path) {
  // A replacement starts private and then takes the old file's attributes.
  const mode_t mode = replacing ? 0600 : 0666;
  int error = EOPNOTSUPP;
#ifdef NOTE2MD_UNNAMED_FILES
  if (!named) {
    file_ = Descriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (file_.valid()) return;
    error = errno;
  }
#else
  (void)named;
#endif
  if (unnamedUnsupported(error)) {
    refuseLockedFolder(replacing);
    // Created and registered as one step, so that a signal cannot leave it.
    for (int tries = 0; tries < 100 && !file_.valid(); ++tries) {
      SignalsHeld held;
      std::string name = auxiliaryName();
      file_ = Descriptor(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
      error = errno;
      if (file_.valid()) {
        name_ = std::move(name);
        removeOnSignal(folder_, name_.c_str());
      } else if (error != EEXIST) {
        break;
      }
    }
  }
  if (file_.valid()) return;
  if (error == EPERM) refuseLockedFolder(replacing);
  // The folder is at fault here, not the file, which may well be writable.
  throwFileError(Access::write, path, std::string("cannot create a file in its folder: ") + std::strerror(error));
}

PendingFile::~PendingFile() {
  std::string left;
  discard(left);
}

int PendingFile::discard(std::string& left) {
  if (committed_ || name_.empty()) return 0;
  SignalsHeld held;
  const int error = ::unlinkat(folder_, name_.c_str(), 0) == 0 || errno == ENOENT ? 0 : errno;
  if (error != 0) left = name_;
  removeOnSignal(-1, nullptr);
  name_.clear();
  return error;
}

void PendingFile::refuseLockedFolder(bool replace) const {
  if (const char* lock = folderLock(folder_)) {
    std::string reason = std::string("its folder is ") + lock;
    if (replace) reason += " (\">\" would write into the file in place)";
    throwFileError(Access::write, path_, reason);
  }
}

#ifdef NOTE2MD_UNNAMED_FILES
// Gives the unnamed file `name` through /proc, as open(2) shows: any process
// may link its own O_TMPFILE file that way, while linking the descriptor
// itself (AT_EMPTY_PATH, where /proc is missing) needs a privilege before
// Linux 6.10.
int PendingFile::link(const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
  if (::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
#ifdef AT_EMPTY_PATH
  if (errno == ENOENT && ::linkat(file_.get(), "", folder_, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
  const int error = errno;
  unnameable_ = error == ENOENT && ::faccessat(AT_FDCWD, self.c_str(), F_OK, 0) != 0;
  return error;
#else
  return errno;
#endif
}

// An auxiliary name for the unnamed file, for a rename over the destination.
int PendingFile::nameIt() {
  for (int tries = 0; tries < 100; ++tries) {
    std::string name = auxiliaryName();
    const int error = link(name);
    if (error == 0) {
      name_ = std::move(name);
      removeOnSignal(folder_, name_.c_str());
      return 0;
    }
    if (error != EEXIST) return error;
  }
  return EEXIST;
}

#endif

int PendingFile::commit(const std::string& name, bool replace) {
  // A signal now waits until the new file is in place or still pending, so
  // that no handler removes a name that is no longer ours. On failure the
  // file stays pending: the caller may try again, the destructor cleans up.
  SignalsHeld held;
  int error = 0;
#ifdef NOTE2MD_UNNAMED_FILES
  // An unnamed file appears whole under a new name in one step; to replace a
  // file it first takes an auxiliary name, for the rename.
  if (name_.empty()) {
    if (replace) refuseLockedFolder(true);
    error = replace ? nameIt() : link(name);
    if (error != 0 || !replace) {
      committed_ = error == 0;
      return error;
    }
  }
#endif
  if (replace) {
    error = ::renameat(folder_, name_.c_str(), folder_, name.c_str()) == 0 ? 0 : errno;
  } else {
    error = renameExclusive(folder_, name_.c_str(), name.c_str());
  }
  if (error == 0) {
    removeOnSignal(-1, nullptr);
    name_.clear();
  }
  committed_ = error == 0;
  return error;
}

}  // namespace note2md::system
