#include "platform/file.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unicode/utf8.h>

#include "platform/encoding.hpp"
#include "platform/process.hpp"

namespace note2md::platform {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendEscape(std::string& out, char kind, uint32_t value, int digits) {
  out += '\\';
  out += kind;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

// The path between double quotes, as one line of valid UTF-8 whatever it
// holds: controls (C0, DEL, C1), the line and paragraph separators and bytes
// that are not UTF-8 are spelled out.
std::string quoted(const std::string& path) {
  std::string result = "\"";
  const auto* bytes = reinterpret_cast<const uint8_t*>(path.data());
  const auto length = static_cast<int32_t>(std::min<std::size_t>(path.size(), INT32_MAX));
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      // Each byte of an ill-formed sequence on its own.
      for (int32_t j = start; j < i; ++j) appendEscape(result, 'x', bytes[j], 2);
    } else if (c == '"' || c == '\\') {
      result += '\\';
      result += static_cast<char>(c);
    } else if (c == '\n') {
      result += "\\n";
    } else if (c == '\r') {
      result += "\\r";
    } else if (c == '\t') {
      result += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      appendEscape(result, 'x', static_cast<uint32_t>(c), 2);
    } else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
      appendEscape(result, 'u', static_cast<uint32_t>(c), 4);
    } else {
      result.append(path, static_cast<std::size_t>(start), static_cast<std::size_t>(i - start));
    }
  }
  return result + '"';
}

std::string describe(const char* action, const std::string& path, const std::string& reason) {
  return std::string("cannot ") + action + " " + quoted(path) + ": " + reason;
}

[[noreturn]] void fail(const char* action, const std::string& path, int error) {
  throw FileError(describe(action, path, std::strerror(error)));
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closing can report a failed write-back, so the writer checks it.
  int close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

Buffer readAll(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) fail("read", path, errno);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) fail("read", path, errno);
  if (S_ISDIR(status.st_mode)) fail("read", path, EISDIR);
  Buffer bytes;
  // A regular file's size is known (one byte more shows that it did not
  // grow); anything else, a pipe, grows as it comes.
  bytes.reserve(S_ISREG(status.st_mode) ? static_cast<std::size_t>(status.st_size) + 1 : 65536);
  for (;;) {
    if (bytes.size() == bytes.capacity()) bytes.reserve(bytes.capacity() * 2);
    ssize_t count = ::read(file.get(), bytes.end(), bytes.capacity() - bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      fail("read", path, errno);
    }
    if (count == 0) break;
    bytes.grow(static_cast<std::size_t>(count));
  }
  return bytes;
}

// Each step returns 0 or the errno that stopped it.
int writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t count = ::write(fd, data.data(), data.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // write() never returns 0 for a non-empty regular-file write; guard anyway.
    if (count == 0) return ENOSPC;
    data.remove_prefix(static_cast<std::size_t>(count));
  }
  return 0;
}

// Flushes a file's data to the disk itself. On macOS fsync only reaches the
// drive's cache; F_FULLFSYNC goes through it where the file system allows.
int syncToDisk(int fd) {
#ifdef F_FULLFSYNC
  if (::fcntl(fd, F_FULLFSYNC) == 0) return 0;
#endif
  return ::fsync(fd) == 0 ? 0 : errno;
}

// Some file systems cannot sync a file or a folder; that is no reason to
// lose the result.
bool cannotSync(int error) { return error == EINVAL || error == EROFS || error == ENOTSUP || error == EBADF; }

// The owner, group and permission bits that the new file takes over.
struct Attributes {
  bool existing = false;
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;
};

int fillAndClose(Descriptor& file, const Attributes& attributes, std::string_view data) {
  if (attributes.existing) {
    // Root may keep both, an owner the group when it is one of theirs; for
    // anyone else the new file is simply theirs, as any file they write.
    if ((attributes.owner != ::geteuid() || attributes.group != ::getegid()) &&
        ::fchown(file.get(), attributes.owner, attributes.group) != 0 && errno != EPERM)
      return errno;
  }
  if (::fchmod(file.get(), attributes.mode) != 0) return errno;
  if (int error = writeAll(file.get(), data)) return error;
  if (int error = syncToDisk(file.get()); error != 0 && !cannotSync(error)) return error;
  if (file.close() != 0) return errno;
  return 0;
}

mode_t newFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::string directoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Where a symbolic link points, read relative to the folder that holds it.
std::string linkTarget(const std::string& link, const std::string& path) {
  std::string target(PATH_MAX, '\0');
  ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
  if (length < 0) fail("write", path, errno);
  if (static_cast<std::size_t>(length) >= target.size()) fail("write", path, ENAMETOOLONG);
  target.resize(static_cast<std::size_t>(length));
  if (target.starts_with('/') || link.find('/') == std::string::npos) return target;
  return link.substr(0, link.rfind('/') + 1) + target;
}

// The rule that protects sticky, world-writable folders such as /tmp from
// planted links, applied here whatever the system's own setting: a link in
// such a folder is followed only when it belongs to the caller or to the
// folder's owner.
bool mayFollow(const std::string& link, const struct stat& linkStatus) {
  struct stat folder {};
  if (::stat(directoryOf(link).c_str(), &folder) != 0) return true;  // the write will fail there anyway
  const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
  return !shared || linkStatus.st_uid == ::geteuid() || linkStatus.st_uid == folder.st_uid;
}

// The path that is actually replaced, found as the shell's ">" would: links
// are followed to the file they name, which need not exist yet, so that the
// links themselves survive.
std::string destinationOf(const std::string& path, struct stat& status, bool& exists) {
  std::string current = path;
  // As many links as the system itself follows before it gives up.
  for (int links = 0; links <= 40; ++links) {
    if (::lstat(current.c_str(), &status) != 0) {
      if (errno != ENOENT) fail("write", path, errno);
      exists = false;
      return current;
    }
    if (!S_ISLNK(status.st_mode)) {
      exists = true;
      return current;
    }
    if (!mayFollow(current, status))
      throw FileError(describe("write", path,
                               "not following a symbolic link that another user owns in a shared sticky folder"));
    current = linkTarget(current, path);
  }
  fail("write", path, ELOOP);
}

}  // namespace

Buffer readTextFile(const std::string& path) {
  Buffer text = readAll(path);
  std::string problem = decodeInPlace(text);
  if (!problem.empty()) throw FileError(describe("read", path, problem));
  return text;
}

void writeFileAtomically(const std::string& path, std::string_view data) {
  struct stat existing {};
  bool exists = false;
  const std::string destination = destinationOf(path, existing, exists);

  Attributes attributes;
  attributes.mode = newFileMode();
  if (exists) {
    if (S_ISDIR(existing.st_mode)) fail("write", path, EISDIR);
    // Renaming over a device or a pipe would replace the node itself.
    if (!S_ISREG(existing.st_mode)) throw FileError(describe("write", path, "not a regular file"));
    attributes.existing = true;
    attributes.owner = existing.st_uid;
    attributes.group = existing.st_gid;
    // Never set-user-ID or set-group-ID: the new file may belong to someone
    // else than the old one, whose bits would then lend it their rights.
    attributes.mode = existing.st_mode & 07777 & ~(S_ISUID | S_ISGID);
  }

  // The auxiliary file sits beside the destination so that rename() is atomic;
  // mkstemp gives it an unpredictable name and creates it exclusively.
  const std::string folder = directoryOf(destination);
  std::string auxiliary = folder + "/.note2md-XXXXXX";
  int fd;
  int createError = 0;
  {
    // Created and registered as one step, so that a signal cannot leave it.
    SignalsHeld held;
    fd = ::mkostemp(auxiliary.data(), O_CLOEXEC);
    if (fd < 0) {
      createError = errno;
    } else if (!removeOnSignal(auxiliary.c_str())) {
      ::close(fd);
      ::unlink(auxiliary.c_str());
      fd = -1;
      createError = ENAMETOOLONG;
    }
  }
  // The folder is at fault here, not the file, which may well be writable.
  if (fd < 0)
    throw FileError(
        describe("write", path, "cannot create a file in " + quoted(folder) + ": " + std::strerror(createError)));
  Descriptor file(fd);

  int error = fillAndClose(file, attributes, data);
  {
    // Renamed (or removed) and unregistered as one step: a signal in between
    // would otherwise remove a name that may no longer be ours.
    SignalsHeld held;
    if (error == 0 && ::rename(auxiliary.c_str(), destination.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(auxiliary.c_str());
    removeOnSignal(nullptr);
  }
  if (error != 0) fail("write", path, error);

  // The new name is only durable once the folder that holds it is on disk.
  Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() < 0) return;  // a folder that cannot be read cannot be synced either
  error = syncToDisk(directory.get());
  if (error != 0 && !cannotSync(error))
    throw FileError(describe("write", path,
                             std::string("the new file is in place, but its folder could not be flushed to disk: ") +
                                 std::strerror(error)));
}

}  // namespace note2md::platform
