#include "platform/file.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/encoding.hpp"

namespace note2md::platform {
namespace {

// The path between double quotes, with control characters spelled out so
// that the error stays on one line.
std::string quoted(const std::string& path) {
  std::string result = "\"";
  for (char character : path) {
    auto byte = static_cast<unsigned char>(character);
    if (byte == '"' || byte == '\\') {
      result += '\\';
      result += character;
    } else if (byte == '\n') {
      result += "\\n";
    } else if (byte == '\r') {
      result += "\\r";
    } else if (byte == '\t') {
      result += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      result += "\\x";
      result += kHex[byte >> 4];
      result += kHex[byte & 15];
    } else {
      result += character;
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

std::string readAll(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) fail("read", path, errno);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) fail("read", path, errno);
  if (S_ISDIR(status.st_mode)) fail("read", path, EISDIR);
  std::string bytes;
  // A regular file's size is known; anything else (a pipe) grows as it comes.
  std::size_t capacity = S_ISREG(status.st_mode) ? static_cast<std::size_t>(status.st_size) + 1 : 65536;
  // Room for the rewritings to grow the text in place; it costs nothing
  // until it is used.
  bytes.reserve(capacity + capacity / 4 + 4096);
  bytes.resize(capacity);
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    ssize_t count = ::read(file.get(), bytes.data() + used, bytes.size() - used);
    if (count < 0) {
      if (errno == EINTR) continue;
      fail("read", path, errno);
    }
    if (count == 0) break;
    used += static_cast<std::size_t>(count);
  }
  bytes.resize(used);
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

int fillAndClose(Descriptor& file, mode_t mode, std::string_view data) {
  if (::fchmod(file.get(), mode) != 0) return errno;
  if (int error = writeAll(file.get(), data)) return error;
  // Some file systems cannot sync; that is no reason to lose the result.
  if (::fsync(file.get()) != 0 && errno != EINVAL && errno != EROFS) return errno;
  if (file.close() != 0) return errno;
  return 0;
}

mode_t newFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// The path that is actually replaced: a symbolic link's target, so that the
// link survives; otherwise the path as given.
std::string destinationOf(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      std::string target(resolved);
      std::free(resolved);
      return target;
    }
  }
  return path;
}

}  // namespace

std::string readTextFile(const std::string& path) {
  DecodedText decoded = decodeText(readAll(path));
  if (!decoded.ok) throw FileError(describe("read", path, decoded.problem));
  return std::move(decoded.text);
}

void writeFileAtomically(const std::string& path, std::string_view data) {
  const std::string destination = destinationOf(path);

  mode_t mode = newFileMode();
  struct stat existing {};
  if (::stat(destination.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) fail("write", path, EISDIR);
    // Renaming over a device or a pipe would replace the node itself.
    if (!S_ISREG(existing.st_mode)) throw FileError(describe("write", path, "not a regular file"));
    mode = existing.st_mode & 07777;
  }

  // The auxiliary file sits beside the destination so that rename() is atomic;
  // mkstemp gives it an unpredictable name and creates it exclusively.
  std::size_t slash = destination.rfind('/');
  std::string auxiliary = (slash == std::string::npos ? std::string() : destination.substr(0, slash + 1)) +
                          ".note2md-XXXXXX";
  Descriptor file(::mkostemp(auxiliary.data(), O_CLOEXEC));
  if (file.get() < 0) fail("write", path, errno);

  int error = fillAndClose(file, mode, data);
  if (error == 0 && ::rename(auxiliary.c_str(), destination.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(auxiliary.c_str());
    fail("write", path, error);
  }
}

}  // namespace note2md::platform
