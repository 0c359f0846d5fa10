#include "system/attributes.hpp"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#elif defined(__APPLE__)
#include <copyfile.h>
#include <sys/attr.h>
#endif

#include "system/descriptor.hpp"

namespace note2md::system {
namespace {

std::string reason(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

// The existing file, opened for its attributes only.
Descriptor openExisting(const Destination& destination, bool& pathOnly) {
  Descriptor file(::openat(destination.folder.get(), destination.name.c_str(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  pathOnly = false;
#ifdef O_PATH
  // A file that may be written but not read: its attributes are still
  // readable through /proc.
  if (!file.valid() && errno == EACCES) {
    file = Descriptor(::openat(destination.folder.get(), destination.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    pathOnly = true;
  }
#endif
  return file;
}

#if defined(__linux__)

constexpr char kAccessAcl[] = "system.posix_acl_access";

// Never carried: capabilities would lend the new text rights as set-user-ID
// would; integrity records describe the old content.
bool mustNotCarry(const char* name) {
  return std::strcmp(name, "security.capability") == 0 || std::strcmp(name, "security.ima") == 0 ||
         std::strcmp(name, "security.evm") == 0;
}

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

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

std::string carryExtendedAttributes(int file, const Destination& destination) {
  bool pathOnly = false;
  Descriptor old = openExisting(destination, pathOnly);
  if (!old.valid()) return reason("cannot read its attributes", errno);
  const std::string self = "/proc/self/fd/" + std::to_string(old.get());
  auto list = [&](char* list, std::size_t size) {
    return pathOnly ? ::listxattr(self.c_str(), list, size) : ::flistxattr(old.get(), list, size);
  };
  auto get = [&](const char* name, char* value, std::size_t size) {
    return pathOnly ? ::getxattr(self.c_str(), name, value, size) : ::fgetxattr(old.get(), name, value, size);
  };
  std::vector<char> names;
  int error = readAll(names, list);
  if (unsupported(error)) return {};
  if (error != 0) return reason("cannot read its attributes", error);
  // A default ACL of the folder gave the new file an ACL of its own; the old
  // file's takes its place, or none.
  if (::fremovexattr(file, kAccessAcl) != 0 && errno != ENODATA && !unsupported(errno))
    return reason("cannot set its access control list", errno);
  std::vector<char> value;
  for (const char* name = names.data(); name < names.data() + names.size(); name += std::strlen(name) + 1) {
    if (mustNotCarry(name)) continue;
    error = readAll(value, [&](char* bytes, std::size_t size) { return get(name, bytes, size); });
    if (error == ENODATA) continue;  // gone since the list was read
    if (error == 0 && ::fsetxattr(file, name, value.data(), value.size(), 0) != 0) error = errno;
    if (error != 0 && !unsupported(error))
      return reason(("cannot carry over the attribute \"" + std::string(name) + "\"").c_str(), error);
  }
  return {};
}

#elif defined(__APPLE__)

// Besides the ACL and the extended attributes (Finder tags and info among
// them), what Finder shows: the hidden flag and the creation date. Never the
// immutable or append-only flags, which would stop the write that follows,
// nor the system's flags, which only root may set.
std::string carryExtendedAttributes(int file, const Destination& destination) {
  bool pathOnly = false;
  Descriptor old = openExisting(destination, pathOnly);
  if (!old.valid()) return reason("cannot read its attributes", errno);
  if (::fcopyfile(old.get(), file, nullptr, COPYFILE_ACL | COPYFILE_XATTR) != 0 && errno != ENOTSUP)
    return reason("cannot carry over its attributes", errno);
  const struct stat& status = destination.status;
  if (::fchflags(file, status.st_flags & (UF_HIDDEN | UF_NODUMP)) != 0 && errno != ENOTSUP)
    return reason("cannot carry over its flags", errno);
  attrlist wanted{};
  wanted.bitmapcount = ATTR_BIT_MAP_COUNT;
  wanted.commonattr = ATTR_CMN_CRTIME;
  timespec created = status.st_birthtimespec;
  if (::fsetattrlist(file, &wanted, &created, sizeof created, 0) != 0 && errno != ENOTSUP)
    return reason("cannot carry over its creation date", errno);
  return {};
}

#else

std::string carryExtendedAttributes(int, const Destination&) { return {}; }

#endif

}  // namespace

std::string carryAttributes(int file, const Destination& destination) {
  const struct stat& old = destination.status;
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
  if (std::string problem = carryExtendedAttributes(file, destination); !problem.empty()) return problem;
  // Never set-user-ID or set-group-ID: the new file may belong to someone
  // else than the old one, whose bits would then lend it their rights. The
  // group's bits only where the group is still the old one. Set last, so
  // that an ACL carried over cannot widen them again.
  mode_t mode = old.st_mode & 07777 & ~(S_ISUID | S_ISGID);
  if (now.st_gid != old.st_gid) mode &= ~S_IRWXG;
  if (::fchmod(file, mode) != 0) return reason("cannot set its permissions", errno);
  return {};
}

}  // namespace note2md::system
