#include "system/attributes.hpp"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#ifdef __APPLE__
#include <sys/acl.h>
#include <sys/attr.h>
#include <xattr_flags.h>
#endif

#include "system/descriptor.hpp"
#include "system/platform.hpp"

namespace note2md::system {
namespace {

std::string reason(const std::string& what, int error) { return what + ": " + std::strerror(error); }

// What a file system answers when it has no such thing to set or read.
bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS; }

// The existing file, opened for its attributes only. One that may be written
// but not read is opened through O_PATH where there is one and /proc names
// it (its attributes then read through /proc), else for writing, which the
// caller may: it gives the ACL, and the other attributes as far as the
// system lets them be read.
struct Existing {
  Descriptor fd;
  std::string path;  // for the calls by path, when fd is an O_PATH descriptor
};

Existing openExisting(const Destination& destination) {
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  const int folder = destination.folder.get();
  const char* name = destination.name.c_str();
  Existing old{Descriptor(::openat(folder, name, O_RDONLY | flags)), {}};
  if (old.fd.valid() || errno != EACCES) return old;
#ifdef NOTE2MD_PATH_FILES
  old.fd = Descriptor(::openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!old.fd.valid()) return old;
  old.path = "/proc/self/fd/" + std::to_string(old.fd.get());
  if (::faccessat(AT_FDCWD, old.path.c_str(), F_OK, 0) == 0) return old;
  // No /proc here (a chroot, a bare container).
  old.path.clear();
#endif
  old.fd = Descriptor(::openat(folder, name, O_WRONLY | flags));
  return old;
}

// The extended attributes, by descriptor or, for an O_PATH one, by path.
#ifdef __APPLE__
ssize_t listNames(const Existing& old, char* list, std::size_t size) { return ::flistxattr(old.fd.get(), list, size, 0); }
ssize_t getValue(const Existing& old, const char* name, char* value, std::size_t size) {
  return ::fgetxattr(old.fd.get(), name, value, size, 0, 0);
}
int setValue(int file, const char* name, const std::vector<char>& value) {
  return ::fsetxattr(file, name, value.data(), value.size(), 0, 0);
}
#else
ssize_t listNames(const Existing& old, char* list, std::size_t size) {
  return old.path.empty() ? ::flistxattr(old.fd.get(), list, size) : ::listxattr(old.path.c_str(), list, size);
}
ssize_t getValue(const Existing& old, const char* name, char* value, std::size_t size) {
  return old.path.empty() ? ::fgetxattr(old.fd.get(), name, value, size)
                          : ::getxattr(old.path.c_str(), name, value, size);
}
int setValue(int file, const char* name, const std::vector<char>& value) {
  return ::fsetxattr(file, name, value.data(), value.size(), 0);
}
#endif

// Reads a list or a value into `bytes`, growing it as the size changes.
template <typename Read>
int readAll(std::vector<char>& bytes, Read read) {
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
    if (errno != ERANGE) return errno;
  }
}

#ifdef __linux__
// The ACL is an extended attribute here, carried after the others.
constexpr char kAccessAcl[] = "system.posix_acl_access";

int readAcl(const Existing&, OldAttributes&) { return 0; }

// A default ACL of the folder gave the new file an ACL of its own, which is
// not the old file's.
int clearAcl(int file) {
  return ::fremovexattr(file, kAccessAcl) == 0 || errno == ENODATA || unsupported(errno) ? 0 : errno;
}

int setAcl(int file, const OldAttributes& old) {
  if (!old.hasAcl) return 0;
  return ::fsetxattr(file, kAccessAcl, old.acl.data(), old.acl.size(), 0) == 0 || unsupported(errno) ? 0 : errno;
}
#elif defined(__APPLE__)
constexpr char kAccessAcl[] = "";

// The old file's ACL in its stored form, or none.
int readAcl(const Existing& file, OldAttributes& old) {
  acl_t acl = ::acl_get_fd_np(file.fd.get(), ACL_TYPE_EXTENDED);
  if (acl == nullptr) return errno == ENOENT || unsupported(errno) ? 0 : errno;
  const ssize_t size = ::acl_size(acl);
  int error = 0;
  if (size < 0) {
    error = errno;
  } else {
    old.acl.resize(static_cast<std::size_t>(size));
    if (::acl_copy_ext_native(old.acl.data(), acl, size) < 0) error = errno;
  }
  ::acl_free(acl);
  old.hasAcl = error == 0;
  return error;
}

// The folder's inheritable entries that the new file was given are not the
// old file's: they widen or narrow it, and may deny the owner what follows.
int clearAcl(int file) {
  filesec_t none = ::filesec_init();
  if (none == nullptr) return errno;
  ::filesec_set_property(none, FILESEC_ACL, _FILESEC_REMOVE_ACL);
  const int error = ::fchmodx_np(file, none) == 0 || unsupported(errno) ? 0 : errno;
  ::filesec_free(none);
  return error;
}

int setAcl(int file, const OldAttributes& old) {
  if (!old.hasAcl) return 0;
  acl_t acl = ::acl_copy_int_native(old.acl.data());
  if (acl == nullptr) return errno;
  const int error = ::acl_set_fd_np(file, acl, ACL_TYPE_EXTENDED) == 0 || unsupported(errno) ? 0 : errno;
  ::acl_free(acl);
  return error;
}
#else
constexpr char kAccessAcl[] = "";
int readAcl(const Existing&, OldAttributes&) { return 0; }
int clearAcl(int) { return 0; }
int setAcl(int, const OldAttributes&) { return 0; }
#endif

#ifdef __APPLE__
// What Finder shows besides: the hidden flag, the no-backup flag and the
// creation date. Never the immutable or append-only flags, which would stop
// the write that follows, nor the system's flags, which only root may set.
std::string carryFinderState(int file, const struct stat& old) {
  if (::fchflags(file, old.st_flags & (UF_HIDDEN | UF_NODUMP)) != 0 && !unsupported(errno))
    return reason("cannot carry over its flags", errno);
  attrlist wanted{};
  wanted.bitmapcount = ATTR_BIT_MAP_COUNT;
  wanted.commonattr = ATTR_CMN_CRTIME;
  timespec created = old.st_birthtimespec;
  if (::fsetattrlist(file, &wanted, &created, sizeof created, 0) != 0 && !unsupported(errno))
    return reason("cannot carry over its creation date", errno);
  return {};
}
#else
std::string carryFinderState(int, const struct stat&) { return {}; }
#endif

}  // namespace

bool readOldAttributes(const Destination& destination, OldAttributes& old, std::string& problem) {
  // A file system that works by path (FUSE) may answer ENOENT for an open
  // file whose name has gone: then it is gone.
  auto failed = [&](const std::string& what, int error) {
    if (error != ENOENT) problem = reason(what, error);
    return error != ENOENT;
  };
  const Existing file = openExisting(destination);
  if (!file.fd.valid()) return failed("cannot read its attributes", errno);
  if (::fstat(file.fd.get(), &old.status) != 0) return failed("cannot read its attributes", errno);
  // Another file took the name since the rules allowed this one.
  if (old.status.st_dev != destination.status.st_dev || old.status.st_ino != destination.status.st_ino) return false;
  if (int error = readAcl(file, old); error != 0) return failed("cannot read its access control list", error);
  std::vector<char> names;
  int error = readAll(names, [&](char* list, std::size_t size) { return listNames(file, list, size); });
  if (error != 0 && !unsupported(error)) return failed("cannot read its extended attributes", error);
  std::vector<char> value;
  for (const char* name = names.data(); name < names.data() + names.size(); name += std::strlen(name) + 1) {
    if (mustNotCarry(name)) continue;
    error = readAll(value, [&](char* bytes, std::size_t size) { return getValue(file, name, bytes, size); });
#ifdef ENOATTR
    if (error == ENOATTR) continue;  // gone since the list was read
#endif
    if (error == ENODATA || unsupported(error)) continue;
    if (error != 0) return failed("cannot carry over the attribute \"" + std::string(name) + "\"", error);
    if (name == std::string_view(kAccessAcl)) {
      old.hasAcl = true;
      old.acl = value;
    } else {
      old.extended.emplace_back(name, value);
    }
  }
  return true;
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
  if (name.starts_with("com.apple.cs.")) return true;
#ifdef __APPLE__
  // What Apple's own safe save drops: attributes that describe the old
  // content (its text encoding, its resource fork, Finder's information),
  // those kept only for backups, and any whose name says so with a flags
  // suffix ("#C", "#N", "#B").
  return !::xattr_preserve_for_intent(std::string(name).c_str(), XATTR_OPERATION_INTENT_SAVE);
#else
  return false;
#endif
}

std::string carryAttributes(int file, const OldAttributes& attributes) {
  const struct stat& old = attributes.status;
  struct stat now {};
  if (::fstat(file, &now) != 0) return reason("cannot set its owner", errno);
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
    // Root keeps both; an owner keeps a group that is one of theirs; anyone
    // else writes a file of their own, as with any file they write. A new
    // file may start with the folder's group (BSD, set-group-ID folders).
    if (::fchown(file, old.st_uid, old.st_gid) != 0 && ::fchown(file, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Neither could be kept; what the file has now decides below.
    }
    if (::fstat(file, &now) != 0) return reason("cannot set its owner", errno);
  }
  if (int error = clearAcl(file); error != 0) return reason("cannot set its access control list", error);
  for (const auto& [name, value] : attributes.extended) {
    if (setValue(file, name.c_str(), value) != 0 && !unsupported(errno))
      return reason("cannot carry over the attribute \"" + name + "\"", errno);
  }
  if (std::string problem = carryFinderState(file, old); !problem.empty()) return problem;
  // The ACL and the mode last: either may take away the right to set the
  // rest (the old file's ACL may deny its owner writing, as its mode may).
  if (int error = setAcl(file, attributes); error != 0) return reason("cannot set its access control list", error);
  // Never set-user-ID or set-group-ID: the new file may belong to someone
  // else than the old one, whose bits would then lend it their rights. The
  // group's bits only where the group is still the old one. Set after the
  // ACL, so that the ACL cannot widen them again.
  mode_t mode = old.st_mode & 07777 & ~(S_ISUID | S_ISGID);
  if (now.st_gid != old.st_gid) mode &= ~S_IRWXG;
  if (::fchmod(file, mode) == 0) return {};
  const int error = errno;
  // A file system without modes of its own (FAT) gives every file the same:
  // the new file may stay as it is when that is no wider than the old one.
  if (unsupported(error) && ::fstat(file, &now) == 0 && (now.st_mode & 07777 & ~mode) == 0) return {};
  return reason("cannot set its permissions", error);
}

}  // namespace note2md::system
