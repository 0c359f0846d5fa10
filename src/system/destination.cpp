#include "system/destination.hpp"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <deque>

#include <fcntl.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/vfs.h>
#elif defined(__APPLE__)
#include <sys/attr.h>
#include <sys/mount.h>
#include <sys/param.h>
#endif

#include "system/error.hpp"
#include "system/platform.hpp"

namespace note2md::system {
namespace {

// A folder is opened only to be worked in, for search only.
constexpr int kFolderFlags = kSearchOnly | O_DIRECTORY | O_CLOEXEC;

// As many links as the kernel itself follows before it gives up.
#ifdef __APPLE__
constexpr int kMaxLinks = 32;
#else
constexpr int kMaxLinks = 40;
#endif

// Folders of /proc (/dev/fd on macOS, where /dev/fd/N is the descriptor's
// file or folder itself) lead to open descriptors: the text of their links
// is no path to the file ("(deleted)", "pipe:[…]"), and a folder reached
// through them is any folder at all. The walk never enters one.
bool holdsDescriptors(int folder) {
#if defined(__linux__)
  struct statfs system {};
  return ::fstatfs(folder, &system) == 0 && system.f_type == 0x9fa0;  // PROC_SUPER_MAGIC
#elif defined(__APPLE__)
  // Only /dev/fd itself: the rest of /dev holds devices, which are no
  // regular files, and links into /dev/fd, which are followed there.
  struct statfs system {};
  if (::fstatfs(folder, &system) != 0) return false;
  if (std::strcmp(system.f_fstypename, "fdesc") == 0) return true;
  if (std::strcmp(system.f_fstypename, "devfs") != 0) return false;
  struct stat here {}, descriptors {};
  return ::fstat(folder, &here) == 0 && ::stat("/dev/fd", &descriptors) == 0 && here.st_dev == descriptors.st_dev &&
         here.st_ino == descriptors.st_ino;
#else
  (void)folder;
  return false;
#endif
}

// Sticky and writable by anyone, such as /tmp: the folder where other users
// may plant links and files.
bool isSharedSticky(const struct stat& folder) { return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH); }

class Walk {
 public:
  explicit Walk(const std::string& path) : path_(path) {}

  Destination run() {
    if (path_.empty()) throwFileError(Access::write, path_, ENOENT);
    open(path_.starts_with('/') ? "/" : ".", AT_FDCWD);
    push(path_);
    mustBeFolder_ = path_.ends_with('/');
    for (;;) {
      // Nothing left means the path named a folder ("/", "a/..").
      if (todo_.empty()) throwFileError(Access::write, path_, EISDIR);
      std::string name = std::move(todo_.front());
      todo_.pop_front();
      const bool last = todo_.empty();
      if (name == "." || name == "..") {
        if (name == "..") open("..", folder_.get());
        continue;
      }
      struct stat status {};
      if (::fstatat(folder_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT || !last) throwFileError(Access::write, path_, errno);
        if (mustBeFolder_) throwFileError(Access::write, path_, EISDIR);
        return finish(std::move(name), nullptr);
      }
      if (S_ISLNK(status.st_mode)) {
        follow(name, status, last);
      } else if (!last) {
        if (!S_ISDIR(status.st_mode)) throwFileError(Access::write, path_, ENOTDIR);
        // O_NOFOLLOW: a link put there since the look above is not followed.
        open(name.c_str(), folder_.get(), O_NOFOLLOW);
      } else {
        if (S_ISDIR(status.st_mode)) throwFileError(Access::write, path_, EISDIR);
        if (mustBeFolder_) throwFileError(Access::write, path_, ENOTDIR);
        // Renaming over a device or a pipe would replace the node itself.
        if (!S_ISREG(status.st_mode)) throwFileError(Access::write, path_, "not a regular file");
        return finish(std::move(name), &status);
      }
    }
  }

 private:
  void open(const char* name, int from, int flags = 0) {
    Descriptor next(::openat(from, name, kFolderFlags | flags));
    if (!next.valid()) throwFileError(Access::write, path_, errno);
    if (holdsDescriptors(next.get())) throwFileError(Access::write, path_, "names an open descriptor, not a file");
    folder_ = std::move(next);
    if (::fstat(folder_.get(), &folderStatus_) != 0) throwFileError(Access::write, path_, errno);
  }

  // The components of `path` go before those still to walk.
  void push(const std::string& path) {
    std::size_t end = path.size();
    while (end > 0) {
      std::size_t slash = path.rfind('/', end - 1);
      std::size_t start = slash == std::string::npos ? 0 : slash + 1;
      if (end > start) todo_.push_front(path.substr(start, end - start));
      if (slash == std::string::npos) break;
      end = slash;
    }
  }

  void follow(const std::string& name, const struct stat& link, bool last) {
    if (++links_ > kMaxLinks) throwFileError(Access::write, path_, ELOOP);
    // The kernel's rule against planted links, applied whatever the
    // system's setting: in a shared sticky folder a link is followed only
    // when it belongs to the caller or to the folder's owner.
    if (isSharedSticky(folderStatus_) && link.st_uid != ::geteuid() && link.st_uid != folderStatus_.st_uid)
      throwFileError(Access::write, path_, "not following a symbolic link that another user owns in a shared sticky folder");
    char buffer[PATH_MAX];
    ssize_t length = ::readlinkat(folder_.get(), name.c_str(), buffer, sizeof buffer);
    if (length < 0) throwFileError(Access::write, path_, errno);
    if (static_cast<std::size_t>(length) >= sizeof buffer) throwFileError(Access::write, path_, ENAMETOOLONG);
    if (length == 0) throwFileError(Access::write, path_, ENOENT);
    const std::string target(buffer, static_cast<std::size_t>(length));
    if (last && target.ends_with('/')) mustBeFolder_ = true;
    if (target.starts_with('/')) open("/", AT_FDCWD);
    push(target);
  }

  Destination finish(std::string name, const struct stat* status) {
    Destination destination;
    destination.folder = std::move(folder_);
    destination.folderStatus = folderStatus_;
    destination.name = std::move(name);
    if (status != nullptr) {
      destination.exists = true;
      destination.status = *status;
    }
    return destination;
  }

  const std::string& path_;
  Descriptor folder_;
  struct stat folderStatus_ {};
  std::deque<std::string> todo_;
  int links_ = 0;
  bool mustBeFolder_ = false;
};

// On a volume that ignores case or Unicode normalisation, the name as the
// folder stores it, so that replacing "Out.md" keeps "out.md" as ">" does.
// Not for a file with other hard links, whose stored name may be another
// link's.
std::string storedName(int folder, const std::string& name, const struct stat& file) {
  if (file.st_nlink > 1) return name;
#ifdef __APPLE__
  struct Reply {
    uint32_t length;
    attrreference_t name;
    char bytes[NAME_MAX * 3 + 1];
  } __attribute__((aligned(4), packed)) reply{};
  attrlist wanted{};
  wanted.bitmapcount = ATTR_BIT_MAP_COUNT;
  wanted.commonattr = ATTR_CMN_NAME;
  if (::getattrlistat(folder, name.c_str(), &wanted, &reply, sizeof reply, FSOPT_NOFOLLOW) == 0 &&
      reply.name.attr_length > 1) {
    const char* stored = reinterpret_cast<const char*>(&reply.name) + reply.name.attr_dataoffset;
    return std::string(stored, ::strnlen(stored, reply.name.attr_length));
  }
#else
  (void)folder;
#endif
  return name;
}

// Whether the existing file may be replaced: false when it has gone
// meanwhile. Throws when a rule refuses it.
bool mayReplace(const Destination& destination, const std::string& path) {
  const struct stat& file = destination.status;
  const struct stat& folder = destination.folderStatus;
  const uid_t caller = ::geteuid();
  // The kernel's rule for files in shared sticky folders (protected_regular),
  // whatever the system's setting: another user's file there is not written,
  // not even by root, lest it hand the text to that user.
  if (isSharedSticky(folder) && file.st_uid != caller && file.st_uid != folder.st_uid)
    throwFileError(Access::write, path, "not replacing a file that another user owns in a shared sticky folder");
  // Only where ">" could write: root may, anyone else needs write permission.
  if (::faccessat(destination.folder.get(), destination.name.c_str(), W_OK, AT_EACCESS) != 0) {
    if (errno == ENOENT) return false;
    throwFileError(Access::write, path, errno);
  }
  // In any sticky folder the kernel lets a name be replaced only by the
  // file's owner, the folder's owner or root, where ">" would still write
  // into the file: refused before the text is written, and said so.
  if ((folder.st_mode & S_ISVTX) && caller != 0 && file.st_uid != caller && folder.st_uid != caller)
    throwFileError(Access::write, path,
                   "cannot replace a file that another user owns in a sticky folder (\">\" would write into it in place)");
  return true;
}

// The destination exists as `status`: may it be replaced, and by what name?
// False when it has gone meanwhile: then it is a new file again.
bool existing(Destination& destination, const struct stat& status, const std::string& path) {
  destination.status = status;
  destination.exists = mayReplace(destination, path);
  if (destination.exists) destination.name = storedName(destination.folder.get(), destination.name, status);
  return destination.exists;
}

}  // namespace

Destination findDestination(const std::string& path) {
  Destination destination = Walk(path).run();
  if (destination.exists) existing(destination, destination.status, path);
  return destination;
}

Found lookAgain(Destination& destination, const std::string& path) {
  struct stat status {};
  if (::fstatat(destination.folder.get(), destination.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? Found::nothing : Found::other;
  if (!S_ISREG(status.st_mode)) return Found::other;
  return existing(destination, status, path) ? Found::replaceable : Found::nothing;
}

}  // namespace note2md::system
