#include "system/attributes.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "system/failure.hpp"
#include "system/os.hpp"

namespace note2md::system {
namespace {

bool notOffered(int error) { return os::notOffered(error, os::Offer::attributes); }

// Reads a list or a value into `bytes`, growing it as the size changes: 0,
// the errno of asking for the size, or minus the errno of reading what the
// size was given for: a file system that said there is something to read has
// offered it, and may not then lose it as not offered.
template <typename Read>
int readAll(std::vector<char>& bytes, Read read) {
  bytes.clear();
  for (;;) {
    ssize_t size = read(nullptr, 0);
    if (size < 0) return errno;
    bytes.resize(static_cast<std::size_t>(size));
    if (size == 0) return 0;
    size = read(bytes.data(), bytes.size());
    if (size >= 0) {
      bytes.resize(static_cast<std::size_t>(size));
      return 0;
    }
    if (errno != ERANGE) {
      bytes.clear();
      return -errno;
    }
  }
}

// A file system that works by path (FUSE) may answer ENOENT for an open
// file whose name has gone: then it has. (A negative errno: see readAll.)
void check(int error, Step step, const char* name = "") {
  if (error < 0) error = -error;
  if (error == ENOENT) throw NameChanged{};
  if (error != 0) throw Failure(step, error, name);
}

}  // namespace

OldAttributes readOldAttributes(const Destination& destination, const ExistingFile& existing) {
  OldAttributes old;
  old.status = existing.status;
  os::OldFile file =
      os::openOld(existing.held.get(), existing.status, destination.folder.get(), destination.name.c_str());
  if (file.fd < 0 && file.path.empty()) check(errno, Step::readAttributes);
  if (int error = os::readAcl(file, old.acl, old.hasAcl); !notOffered(error)) check(error, Step::readAcl);
  std::vector<char> names;
  int error = readAll(names, [&](char* list, std::size_t size) { return os::listAttributes(file, list, size); });
  if (!notOffered(error)) check(error, Step::listAttributes);
  std::vector<char> value;
  for (const char* name = names.data(); name < names.data() + names.size(); name += std::strlen(name) + 1) {
    if (mustNotCarry(name)) continue;
    error = readAll(value, [&](char* bytes, std::size_t size) { return os::getAttribute(file, name, bytes, size); });
    // Gone since the list was read, or not to be had on this file system.
    if (error == os::kNoAttribute || error == -os::kNoAttribute || notOffered(error)) continue;
    check(error, Step::readAttribute, name);
    if (os::isAcl(name)) {
      old.hasAcl = true;
      old.acl = value;
    } else {
      old.extended.emplace_back(name, value);
    }
  }
  old.open = std::move(file.opened);
  return old;
}

std::optional<unsigned> flagsToSet(unsigned newFile, unsigned old, unsigned carried) {
  const unsigned flags = (newFile & ~carried) | (old & carried);
  if (flags == newFile) return std::nullopt;
  return flags;
}

bool mustNotCarry(std::string_view name) {
  // Never carried, because they belong to the old content or to the system:
  constexpr std::string_view kNames[] = {
      "security.capability",   // rights of a program, which set-user-ID would lend too
      "security.ima",          // integrity records of the old content
      "security.evm",          //
      "com.apple.quarantine",  // where the old content came from
      "com.apple.macl",        // the apps the user let open the file: only the system sets it
      "com.apple.provenance",  // the app that made the file: only the system sets it
      "com.apple.rootless",    // System Integrity Protection: only the system sets it
      "com.apple.decmpfs",     // the old content itself, compressed
  };
  for (std::string_view never : kNames) {
    if (name == never) return true;
  }
  // The code signature of the old content.
  return name.starts_with("com.apple.cs.") || os::dropsOnSave(name);
}

void carryAttributes(int file, const OldAttributes& attributes) {
  const struct stat& old = attributes.status;
  struct stat now {};
  if (::fstat(file, &now) != 0) throw Failure(Step::setOwner, errno);
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
    // Root keeps both; an owner keeps a group that is one of theirs, or else
    // loses the group's permissions below. A new file may start with the
    // folder's group (BSD, set-group-ID folders).
    int error = 0;
    if (::fchown(file, old.st_uid, old.st_gid) != 0) {
      error = errno;
      if (::fchown(file, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // The group cannot be kept either.
      }
    }
    if (::fstat(file, &now) != 0) throw Failure(Step::setOwner, errno);
    // Never a file of another owner than the old one's: the text would go
    // to them (the rules let only the owner or root replace it).
    if (now.st_uid != old.st_uid) throw Failure(Step::setOwner, error != 0 ? error : EPERM);
  }
  // The ACL a folder gave the new file is not the old file's, and may deny
  // its owner what follows. Removed only where there is one: removing may
  // take a right that writing does not (WRITE_DAC on a share).
  bool inherited = false;
  if (int error = os::hasAcl(file, inherited); error != 0 && !notOffered(error)) throw Failure(Step::setAcl, error);
  if (inherited) {
    if (int error = os::clearAcl(file); error != 0 && !notOffered(error)) throw Failure(Step::setAcl, error);
  }
  // A umask of 0277 or a folder's default ACL may leave the new file without
  // its owner's write permission, which setting its attributes needs; its
  // mode is set last anyway. (Where modes cannot be set, the last step says.)
  constexpr mode_t kOwnerReadWrite = S_IRUSR | S_IWUSR;
  if ((now.st_mode & kOwnerReadWrite) != kOwnerReadWrite) ::fchmod(file, kOwnerReadWrite);
  for (const auto& [name, value] : attributes.extended) {
    if (int error = os::setAttribute(file, name.c_str(), value); error != 0 && !notOffered(error))
      throw Failure(Step::setAttribute, error, name);
  }
  if (const auto flags = flagsToSet(os::flagsOf(now), os::flagsOf(old))) {
    if (int error = os::setFlags(file, *flags); error != 0 && !notOffered(error)) throw Failure(Step::setFlags, error);
  }
  if (int error = os::setCreationDate(file, old); error != 0 && !notOffered(error))
    throw Failure(Step::setCreationDate, error);
  // The ACL and the mode last: either may take away the right to set the
  // rest (the old file's ACL may deny its owner writing, as its mode may).
  if (attributes.hasAcl) {
    if (int error = os::setAcl(file, attributes.acl); error != 0 && !notOffered(error))
      throw Failure(Step::setAcl, error);
  }
  // Never set-user-ID or set-group-ID: the new file may belong to someone
  // else than the old one, whose bits would then lend it their rights. The
  // group's bits only where the group is still the old one; where it is not,
  // the old group's members count as others, who then get no more than that
  // group had. Set after the ACL, so that the ACL cannot widen them again.
  mode_t mode = old.st_mode & 07777 & ~(S_ISUID | S_ISGID);
  if (now.st_gid != old.st_gid)
    mode = (mode & ~(S_IRWXG | S_IRWXO)) | (mode & S_IRWXO & ((old.st_mode & S_IRWXG) >> 3));
  if (::fchmod(file, mode) == 0) return;
  const int error = errno;
  // A file system without modes of its own (FAT) gives every file the same:
  // the new file may stay as it is when that is no wider than the old one.
  if (notOffered(error) && ::fstat(file, &now) == 0 && (now.st_mode & 07777 & ~mode) == 0) return;
  throw Failure(Step::setMode, error);
}

}  // namespace note2md::system
