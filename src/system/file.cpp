#include "system/file.hpp"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system/attributes.hpp"
#include "system/destination.hpp"
#include "system/flush.hpp"
#include "system/pending_file.hpp"

namespace note2md::system {

Buffer readFile(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) throwFileError(Access::read, path, errno);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) throwFileError(Access::read, path, errno);
  if (S_ISDIR(status.st_mode)) throwFileError(Access::read, path, EISDIR);
  const bool regular = S_ISREG(status.st_mode);
  if (regular && static_cast<std::size_t>(status.st_size) > kLargestText) throwFileError(Access::read, path, EFBIG);
  Buffer bytes;
  // A regular file's size is known (one byte more shows that it did not
  // grow). Anything else, a pipe, may never end: past its first megabyte it
  // gets room for the largest note at once, which costs only the pages it
  // fills, and no copy.
  bytes.reserve(regular ? static_cast<std::size_t>(status.st_size) + 1 : 65536);
  for (;;) {
    if (bytes.size() == bytes.capacity()) {
      if (bytes.size() == kLargestText) {
        // One byte more is one too many.
        char more;
        ssize_t count;
        while ((count = ::read(file.get(), &more, 1)) < 0 && errno == EINTR) {
        }
        if (count < 0) throwFileError(Access::read, path, errno);
        if (count > 0) throwFileError(Access::read, path, EFBIG);
        break;
      }
      bytes.reserve(bytes.capacity() < (std::size_t{1} << 20) ? bytes.capacity() * 2 : kLargestText);
    }
    ssize_t count = ::read(file.get(), bytes.end(), bytes.capacity() - bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      throwFileError(Access::read, path, errno);
    }
    if (count == 0) break;
    bytes.grow(static_cast<std::size_t>(count));
  }
  return bytes;
}

namespace {

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

// The new name is only durable once the folder that holds it is on disk.
int flushFolder(int folder, int file) {
  Descriptor readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (readable.valid()) return flush(readable.get(), Flush::durable);
  if (errno != EACCES) return errno;
  // A folder the caller may write but not read cannot be opened to be
  // flushed. Flushing its whole file system brings the new name there too;
  // on macOS a full flush of the file empties the drive's cache, rename
  // included.
#ifdef __linux__
  return ::syncfs(file) == 0 ? 0 : errno;
#else
  return flush(file, Flush::durable);
#endif
}

}  // namespace

namespace {

// Puts the text in place through one pending file (see PendingFile): 0 or
// the errno that stopped it. Sets `unnameable` when an unnamed file could
// not be named, for another try with a named one.
int putInPlace(Destination& destination, const OldAttributes& old, std::string_view data, bool named,
               const std::string& path, bool& unnameable) {
  PendingFile file(destination.folder.get(), destination.exists, named, path);
  auto fail = [&](const std::string& reason) {
    // Nothing is left silently: an auxiliary file that stays is named.
    std::string left;
    if (const int error = file.discard(left); error != 0)
      throwFileError(Access::write, path,
                     reason + "; its auxiliary file \"" + left + "\" could not be removed: " + std::strerror(error));
    throwFileError(Access::write, path, reason);
  };
  if (destination.exists) {
    if (std::string problem = carryAttributes(file.fd(), old); !problem.empty()) fail(problem);
  }
  int error = writeAll(file.fd(), data);
  if (error == 0) error = flush(file.fd(), Flush::ordered);
  if (error == 0) error = file.commit(destination.name, destination.exists);
  // Another run wrote the same new file meanwhile: this text replaces it, as
  // a second ">" would, where that file may be replaced; a name that was
  // taken and is free again is a new file again.
  for (int tries = 0; error == EEXIST && !destination.exists && tries < 100; ++tries) {
    const Found found = lookAgain(destination, path);
    if (found == Found::other) break;
    error = file.commit(destination.name, found == Found::replaceable);
  }
  if (error != 0) {
    unnameable = file.unnameable();
    if (unnameable) return error;
    fail(std::strerror(error));
  }
  if ((error = flushFolder(destination.folder.get(), file.fd())) != 0)
    throwFileError(Access::write, path,
                   std::string("the new file is in place, but its folder could not be flushed to disk: ") +
                       std::strerror(error));
  return 0;
}

}  // namespace

void writeFileAtomically(const std::string& path, std::string_view data) {
  Destination destination = findDestination(path);
  // What the old file hands on is read before the new file is made: a file
  // gone meanwhile (another run replacing it in two steps) is a new one.
  OldAttributes old;
  if (destination.exists) {
    std::string problem;
    destination.exists = readOldAttributes(destination, old, problem);
    if (!problem.empty()) throwFileError(Access::write, path, problem);
  }
  bool unnameable = false;
  putInPlace(destination, old, data, false, path, unnameable);
  // Without /proc, only a privileged process may name an unnamed file on
  // Linux before 6.10: the text goes through a named file then.
  if (unnameable) putInPlace(destination, old, data, true, path, unnameable);
}

}  // namespace note2md::system
