// The seam (os.hpp) on Linux. NOTE2MD_NAMED_FILES_ONLY leaves out the
// unnamed files (O_TMPFILE) and the O_PATH files of existing ones, so that
// the named-file path that macOS takes runs here too.
#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "system/os.hpp"

namespace note2md::system::os {
namespace {

#ifdef NOTE2MD_NAMED_FILES_ONLY
constexpr bool kUnnamedFiles = false;
#else
constexpr bool kUnnamedFiles = true;
#endif

// How a process reaches its own descriptor by path.
std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

constexpr char kAccessAcl[] = "system.posix_acl_access";

}  // namespace

// O_PATH opens a folder for search only, and so stands in for O_SEARCH.
const int kSearchOnly = O_PATH;
const int kMaxLinks = 40;

bool holdsDescriptors(int folder) {
  struct statfs system {};
  return ::fstatfs(folder, &system) == 0 && system.f_type == 0x9fa0;  // PROC_SUPER_MAGIC
}

std::string storedName(int, const std::string& name) { return name; }

Lock folderLock(int folder) {
  struct statx status {};
  if (::statx(folder, "", AT_EMPTY_PATH, 0, &status) != 0) return Lock::none;
  const auto flags = status.stx_attributes & status.stx_attributes_mask;
  if (flags & STATX_ATTR_IMMUTABLE) return Lock::immutable;
  if (flags & STATX_ATTR_APPEND) return Lock::appendOnly;
  return Lock::none;
}

int flushFileSystem(int fd) { return ::syncfs(fd) == 0 ? 0 : errno; }

int randomBytes(unsigned char* bytes, std::size_t count) { return ::getentropy(bytes, count) == 0 ? 0 : errno; }

int openUnnamed(int folder, mode_t mode) {
  if (!kUnnamedFiles) {
    errno = ENOTSUP;
    return -1;
  }
  return ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}

// Through /proc, as open(2) shows: any process may link its own O_TMPFILE
// file that way, while linking the descriptor itself (AT_EMPTY_PATH, where
// /proc is missing) needs a privilege before Linux 6.10.
int nameUnnamed(int file, int folder, const char* name, bool& never) {
  const std::string self = descriptorPath(file);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno == ENOENT && ::linkat(file, "", folder, name, AT_EMPTY_PATH) == 0) return 0;
  const int error = errno;
  never = error == ENOENT && ::faccessat(AT_FDCWD, self.c_str(), F_OK, 0) != 0;
  return error;
}

int renameExclusive(int folder, const char* from, const char* to) {
  return ::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
}

OldFile openOld(int folder, const char* name) {
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  OldFile old{Descriptor(::openat(folder, name, O_RDONLY | flags)), {}};
  if (old.fd.valid() || errno != EACCES) return old;
  if (kUnnamedFiles) {
    // No access at all; the attributes are then read by path, where /proc
    // gives one (not in a chroot or a bare container).
    old.fd = Descriptor(::openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!old.fd.valid()) return old;
    old.path = descriptorPath(old.fd.get());
    if (::faccessat(AT_FDCWD, old.path.c_str(), F_OK, 0) == 0) return old;
    old.path.clear();
  }
  // For writing, which the caller may: it gives the attributes as far as
  // the system lets them be read so.
  old.fd = Descriptor(::openat(folder, name, O_WRONLY | flags));
  return old;
}

ssize_t listAttributes(const OldFile& old, char* list, std::size_t size) {
  return old.path.empty() ? ::flistxattr(old.fd.get(), list, size) : ::listxattr(old.path.c_str(), list, size);
}

ssize_t getAttribute(const OldFile& old, const char* name, char* value, std::size_t size) {
  return old.path.empty() ? ::fgetxattr(old.fd.get(), name, value, size)
                          : ::getxattr(old.path.c_str(), name, value, size);
}

int setAttribute(int file, const char* name, const std::vector<char>& value) {
  return ::fsetxattr(file, name, value.data(), value.size(), 0) == 0 ? 0 : errno;
}

const int kNoAttribute = ENODATA;

bool isAcl(std::string_view name) { return name == kAccessAcl; }

bool dropsOnSave(std::string_view) { return false; }

// The ACL is an extended attribute here, read with the others.
int readAcl(const OldFile&, std::vector<char>&, bool& has) {
  has = false;
  return 0;
}

int clearAcl(int file) { return ::fremovexattr(file, kAccessAcl) == 0 || errno == ENODATA ? 0 : errno; }

int setAcl(int file, const std::vector<char>& acl) { return setAttribute(file, kAccessAcl, acl); }

int setFlags(int, const struct stat&) { return 0; }

int setCreationDate(int, const struct stat&) { return 0; }

int flush(int fd, FlushCall call) {
  if (call != FlushCall::fsync) return ENOTTY;
  return ::fsync(fd) == 0 ? 0 : errno;
}

void adviseHugePages(void* start, std::size_t length) { ::madvise(start, length, MADV_HUGEPAGE); }

// Frees the pages and keeps the mapping whole, huge-page advice included,
// so that the next rewriting writes this memory again in huge pages.
void giveBack(void* start, std::size_t length) { ::madvise(start, length, MADV_DONTNEED); }

}  // namespace note2md::system::os
