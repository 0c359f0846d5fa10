#include "system/file.hpp"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "system/attributes.hpp"
#include "system/destination.hpp"
#include "system/existing_file.hpp"
#include "system/failure.hpp"
#include "system/flush.hpp"
#include "system/os.hpp"
#include "system/pending_file.hpp"

namespace note2md::system {
namespace {

[[noreturn]] void fail(int error) { throw Failure(Step::read, error); }

Buffer readAll(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) fail(errno);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) fail(errno);
  if (S_ISDIR(status.st_mode)) fail(EISDIR);
  const bool regular = S_ISREG(status.st_mode);
  if (regular && static_cast<std::size_t>(status.st_size) > kLargestText) fail(EFBIG);
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
        if (count < 0) fail(errno);
        if (count > 0) fail(EFBIG);
        break;
      }
      bytes.reserve(bytes.capacity() < (std::size_t{1} << 20) ? bytes.capacity() * 2 : kLargestText);
    }
    ssize_t count = ::read(file.get(), bytes.end(), bytes.capacity() - bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    if (count == 0) break;
    bytes.grow(static_cast<std::size_t>(count));
  }
  return bytes;
}

void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t count = ::write(fd, text.data(), text.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      throw Failure(Step::write, errno);
    }
    // write() never returns 0 for a non-empty regular-file write; guard anyway.
    if (count == 0) throw Failure(Step::write, ENOSPC);
    text.remove_prefix(static_cast<std::size_t>(count));
  }
}

// The new name is only durable once the folder that holds it is on disk.
void syncFolder(int folder, int file) {
  Descriptor readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int error = readable.valid() ? flushFolder(readable.get(), file) : errno;
  // A folder the caller may write but not read cannot be opened to be
  // flushed: its whole file system is (Linux), or the drive's cache by a
  // full flush of the file, rename included (macOS).
  if (!readable.valid() && error == EACCES) {
    error = os::flushFileSystem(file);
    if (error == ENOTSUP) error = flush(file, Flush::durable);
  }
  if (error != 0) throw Failure(Step::flushFolder, error);
}

// How often a try may find that the name changed under it before the run
// gives up: each time another run or program replaced it meanwhile. Parallel
// runs that keep meeting wait a little longer each time, up to 50 ms, so that
// one of them gets through (a slow FUSE file system under load).
constexpr int kMostTries = 100;

void waitAfter(int changes) {
  if (changes < 2) return;
  const timespec pause{0, std::min(changes, 25) * 2'000'000L};
  ::nanosleep(&pause, nullptr);
}

enum class Outcome { done, changed, cannotName };

// One try: what stands at the name now, the new file made to match it,
// written, flushed and put in place where that is still what stands there.
Outcome attempt(const Destination& destination, std::string_view text, PendingFile::Kind kind) {
  std::optional<ExistingFile> existing;
  OldAttributes old;
  try {
    existing = checkExisting(destination);
    // Read before the new file is made, from the very file the rules allowed.
    if (existing) old = readOldAttributes(destination, *existing);
  } catch (const NameChanged&) {
    return Outcome::changed;
  }
  PendingFile file(destination.folder.get(), existing.has_value(), kind);
  try {
    if (existing) carryAttributes(file.fd(), old);
    writeAll(file.fd(), text);
    if (int error = flush(file.fd(), Flush::ordered); error != 0) throw Failure(Step::write, error);
    const PendingFile::Placed placed =
        existing ? file.commit(existing->name, &existing->status) : file.commit(destination.name, nullptr);
    if (placed != PendingFile::Placed::done) {
      file.abandon();
      return placed == PendingFile::Placed::changed ? Outcome::changed : Outcome::cannotName;
    }
  } catch (Failure& failure) {
    file.discard(failure);
    throw;
  }
  syncFolder(destination.folder.get(), file.fd());
  return Outcome::done;
}

}  // namespace

Buffer readFile(const std::string& path) {
  try {
    return readAll(path);
  } catch (Failure& failure) {
    failure.at(Access::read, path);
    throw;
  }
}

void writeFileAtomically(const std::string& path, std::string_view text) {
  try {
    const Destination destination = findDestination(path);
    PendingFile::Kind kind = PendingFile::Kind::unnamedWherePossible;
    for (int changes = 0;;) {
      switch (attempt(destination, text, kind)) {
        case Outcome::done: return;
        case Outcome::changed:
          // Another run or program replaced, made or removed the file: the
          // next try looks again, examines and carries anew.
          if (++changes == kMostTries) throw Failure(Step::keptChanging);
          waitAfter(changes);
          break;
        case Outcome::cannotName:
          // Without /proc, only a privileged process may name an unnamed file
          // on Linux before 6.10: the text goes through a named file then.
          kind = PendingFile::Kind::named;
          break;
      }
    }
  } catch (Failure& failure) {
    failure.at(Access::write, path);
    throw;
  }
}

}  // namespace note2md::system
