#include "system/pending_file.hpp"

#include <cassert>
#include <cerrno>
#include <cstdint>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system/os.hpp"
#include "system/signals.hpp"

namespace note2md::system {
namespace {

// ".note2md-" and twelve characters nobody can guess.
std::string auxiliaryName() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[12];
  if (os::randomBytes(random, sizeof random) != 0) {
    // Only the name's uniqueness is at stake: O_EXCL keeps the file ours.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t seed = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(::getpid()) << 32);
    for (auto& byte : random) byte = static_cast<unsigned char>((seed = seed * 6364136223846793005ULL + 1) >> 56);
  }
  std::string name = ".note2md-";
  for (unsigned char byte : random) name += kLetters[byte % (sizeof kLetters - 1)];
  return name;
}

// An auxiliary name would stay for good in a folder whose names cannot be
// removed or renamed: refused before one is made.
void refuseLockedFolder(int folder, bool replacing) {
  switch (os::folderLock(folder)) {
    case os::Lock::none: return;
    case os::Lock::appendOnly: throw Failure(replacing ? Step::appendOnlyFolderOfFile : Step::appendOnlyFolder);
    case os::Lock::immutable: throw Failure(replacing ? Step::immutableFolderOfFile : Step::immutableFolder);
  }
}

// Renames unless the name is taken (EEXIST). A file system that cannot
// rename so (FAT through FUSE, some network ones): look, then rename; only a
// file made within that moment can still be replaced.
int renameExclusive(int folder, const char* from, const char* to) {
  const int error = os::renameExclusive(folder, from, to);
  if (!os::notOffered(error, os::Offer::exclusiveRename)) return error;
  struct stat status {};
  if (::fstatat(folder, to, &status, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return ::renameat(folder, from, folder, to) == 0 ? 0 : errno;
}

// The name holds the file `file` still: held open by the caller, its number
// cannot have gone to another file meanwhile.
bool holds(int folder, const std::string& name, const struct stat& file) {
  struct stat now {};
  return ::fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == file.st_dev &&
         now.st_ino == file.st_ino;
}

}  // namespace

template <typename Make>
int PendingFile::makeAuxiliary(Make make) {
  int error = EEXIST;
  for (int tries = 0; tries < 100 && error == EEXIST; ++tries) {
    // Made and registered as one step, so that a signal cannot leave it.
    SignalsHeld held;
    std::string name = auxiliaryName();
    error = make(name.c_str());
    if (error == 0) {
      name_ = std::move(name);
      state_ = State::named;
      removeOnSignal(folder_, name_.c_str());
    }
  }
  return error;
}

PendingFile::PendingFile(int folder, bool replacing, Kind kind) : folder_(folder) {
  // A replacement starts private and then takes the old file's attributes.
  const mode_t mode = replacing ? 0600 : 0666;
  int error = ENOTSUP;
  if (kind == Kind::unnamedWherePossible) {
    file_ = Descriptor(os::openUnnamed(folder, mode));
    if (file_.valid()) return;
    error = errno;
  }
  if (os::notOffered(error, os::Offer::unnamedFile)) {
    refuseLockedFolder(folder, replacing);
    error = makeAuxiliary([&](const char* name) {
      file_ = Descriptor(::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
      return file_.valid() ? 0 : errno;
    });
    if (error == 0) return;
  }
  if (error == EPERM) refuseLockedFolder(folder, replacing);
  // The folder is at fault here, not the file, which may well be writable.
  throw Failure(Step::createInFolder, error);
}

PendingFile::~PendingFile() { remove(); }

int PendingFile::fd() const {
  assert(state_ == State::unnamed || state_ == State::named || state_ == State::committed);
  return file_.get();
}

int PendingFile::remove() {
  if (state_ == State::committed || state_ == State::kept || state_ == State::removed) return 0;
  const bool named = state_ == State::named;
  state_ = State::removed;
  if (!named) return 0;
  SignalsHeld held;
  const int error = ::unlinkat(folder_, name_.c_str(), 0) == 0 || errno == ENOENT ? 0 : errno;
  forgetOnSignal();
  name_.clear();
  return error;
}

void PendingFile::abandon() {
  const std::string name = name_;
  if (const int error = remove(); error != 0) {
    Failure failure(Step::write, error);
    failure.leftBehind = name;
    failure.leftError = error;
    throw failure;
  }
}

void PendingFile::discard(Failure& failure) {
  const std::string name = name_;
  if (const int error = remove(); error != 0) {
    failure.leftBehind = name;
    failure.leftError = error;
  }
}

void PendingFile::refuseIfTaken() {
  // In a folder where others may write, another program may have moved the
  // auxiliary file away and put its own in its place, which the rename would
  // then put in place. The file is held open: its number is still its own.
  struct stat own {};
  if (::fstat(file_.get(), &own) != 0) throw Failure(Step::write, errno);
  if (holds(folder_, name_, own)) return;
  forgetOnSignal();
  name_.clear();
  state_ = State::removed;
  throw Failure(Step::auxiliaryTaken);
}

void PendingFile::keepIfOnlyCopy(const std::string& name, int error) {
  // A file system that replaces a name in two steps (smbfs: remove, then
  // rename) may fail between them: the old file is gone, and this is the only
  // text left. It goes in place as a new file, or stays, named in the line.
  struct stat status {};
  if (::fstatat(folder_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) throw Failure(Step::write, error);
  if (renameExclusive(folder_, name_.c_str(), name.c_str()) == 0) return;
  Failure failure(Step::write, error);
  failure.keptIn = name_;
  forgetOnSignal();
  name_.clear();
  state_ = State::kept;
  throw failure;
}

PendingFile::Placed PendingFile::commit(const std::string& name, const struct stat* replacing) {
  assert(state_ == State::unnamed || state_ == State::named);
  // A signal now waits until the new file is in place or still pending, so
  // that no handler removes a name that is no longer ours.
  SignalsHeld held;
  bool never = false;
  if (replacing == nullptr) {
    // An unnamed file appears whole under a new name in one step.
    if (state_ == State::named) refuseIfTaken();
    const int error = state_ == State::unnamed ? os::nameUnnamed(fd(), folder_, name.c_str(), never)
                                               : renameExclusive(folder_, name_.c_str(), name.c_str());
    if (never) return Placed::cannotName;
    if (error == EEXIST) return Placed::changed;
    if (error != 0) throw Failure(Step::write, error);
  } else {
    // To replace a file, an unnamed one first takes an auxiliary name, for
    // the rename.
    if (state_ == State::unnamed) {
      refuseLockedFolder(folder_, true);
      const int error =
          makeAuxiliary([&](const char* auxiliary) { return os::nameUnnamed(fd(), folder_, auxiliary, never); });
      if (never) return Placed::cannotName;
      if (error != 0) throw Failure(Step::write, error);
    }
    refuseIfTaken();
    if (!holds(folder_, name, *replacing)) return Placed::changed;
    if (::renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) keepIfOnlyCopy(name, errno);
  }
  forgetOnSignal();
  name_.clear();
  state_ = State::committed;
  return Placed::done;
}

}  // namespace note2md::system
