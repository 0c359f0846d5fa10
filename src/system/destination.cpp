#include "system/destination.hpp"

#include <cerrno>
#include <climits>
#include <deque>

#include <fcntl.h>
#include <unistd.h>

#include "system/failure.hpp"
#include "system/os.hpp"

namespace note2md::system {
namespace {

[[noreturn]] void fail(int error) { throw Failure(Step::write, error); }

// A folder is opened only to be worked in, for search only.
const int kFolderFlags = os::kSearchOnly | O_DIRECTORY | O_CLOEXEC;

class Walk {
 public:
  explicit Walk(const std::string& path) : path_(path) {}

  Destination run() {
    if (path_.empty()) fail(ENOENT);
    open(path_.starts_with('/') ? "/" : ".", AT_FDCWD);
    push(path_);
    mustBeFolder_ = path_.ends_with('/');
    for (;;) {
      // Nothing left means the path named a folder ("/", "a/..").
      if (todo_.empty()) fail(EISDIR);
      std::string name = std::move(todo_.front());
      todo_.pop_front();
      const bool last = todo_.empty();
      if (name == "." || name == "..") {
        if (name == "..") open("..", folder_.get());
        continue;
      }
      struct stat status {};
      if (::fstatat(folder_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT || !last) fail(errno);
        if (mustBeFolder_) fail(EISDIR);
        return finish(std::move(name));
      }
      if (S_ISLNK(status.st_mode)) {
        follow(name, status, last);
      } else if (!last) {
        if (!S_ISDIR(status.st_mode)) fail(ENOTDIR);
        // O_NOFOLLOW: a link put there since the look above is not followed.
        open(name.c_str(), folder_.get(), O_NOFOLLOW);
      } else {
        if (S_ISDIR(status.st_mode)) fail(EISDIR);
        if (mustBeFolder_) fail(ENOTDIR);
        // Renaming over a device or a pipe would replace the node itself.
        if (!S_ISREG(status.st_mode)) throw Failure(Step::notRegular);
        return finish(std::move(name));
      }
    }
  }

 private:
  void open(const char* name, int from, int flags = 0) {
    Descriptor next(::openat(from, name, kFolderFlags | flags));
    if (!next.valid()) fail(errno);
    if (os::holdsDescriptors(next.get())) throw Failure(Step::descriptorPath);
    folder_ = std::move(next);
    if (::fstat(folder_.get(), &folderStatus_) != 0) fail(errno);
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
    if (++links_ > os::kMaxLinks) fail(ELOOP);
    // The kernel's rule against planted links, applied whatever the
    // system's setting: in a shared sticky folder a link is followed only
    // when it belongs to the caller or to the folder's owner.
    if (isSharedSticky(folderStatus_) && !sameUser(link.st_uid, ::geteuid()) &&
        !sameUser(link.st_uid, folderStatus_.st_uid))
      throw Failure(Step::stickyLink);
    char buffer[PATH_MAX];
    ssize_t length = ::readlinkat(folder_.get(), name.c_str(), buffer, sizeof buffer);
    if (length < 0) fail(errno);
    if (static_cast<std::size_t>(length) >= sizeof buffer) fail(ENAMETOOLONG);
    if (length == 0) fail(ENOENT);
    const std::string target(buffer, static_cast<std::size_t>(length));
    if (last && target.ends_with('/')) mustBeFolder_ = true;
    if (target.starts_with('/')) open("/", AT_FDCWD);
    push(target);
  }

  Destination finish(std::string name) {
    Destination destination;
    destination.folder = std::move(folder_);
    destination.folderStatus = folderStatus_;
    destination.name = std::move(name);
    return destination;
  }

  const std::string& path_;
  Descriptor folder_;
  struct stat folderStatus_ {};
  std::deque<std::string> todo_;
  int links_ = 0;
  bool mustBeFolder_ = false;
};

}  // namespace

Destination findDestination(const std::string& path) { return Walk(path).run(); }

}  // namespace note2md::system
