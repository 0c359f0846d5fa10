#include "system/pending_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

#include <cstdio>

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

}  // namespace

PendingFile::PendingFile(int folder, mode_t mode, const std::string& path) : folder_(folder) {
  int error = EOPNOTSUPP;
#ifdef NOTE2MD_UNNAMED_FILES
  file_ = Descriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
  if (file_.valid()) return;
  error = errno;
#endif
  if (unnamedUnsupported(error)) {
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
  // The folder is at fault here, not the file, which may well be writable.
  if (!file_.valid())
    throwFileError(Access::write, path, std::string("cannot create a file in its folder: ") + std::strerror(error));
}

PendingFile::~PendingFile() {
  if (committed_ || name_.empty()) return;
  SignalsHeld held;
  removeName();
}

void PendingFile::removeName() {
  ::unlinkat(folder_, name_.c_str(), 0);
  removeOnSignal(-1, nullptr);
  name_.clear();
}

#ifdef NOTE2MD_UNNAMED_FILES
// Gives the unnamed file `name` through /proc, as open(2) shows: any process
// may link its own O_TMPFILE file that way, while linking the descriptor
// itself (AT_EMPTY_PATH, where /proc is missing) needs a privilege.
int PendingFile::link(const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
  if (::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
#ifdef AT_EMPTY_PATH
  if (errno == ENOENT && ::linkat(file_.get(), "", folder_, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
#endif
  return errno;
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
