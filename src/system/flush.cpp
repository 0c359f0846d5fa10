#include "system/flush.hpp"

#include <cerrno>

namespace note2md::system {

int flush(int fd, Flush how, Flusher flusher) {
  auto notOffered = [](int error) { return os::notOffered(error, os::Offer::flushCall); };
  int error = how == Flush::ordered ? flusher(fd, os::FlushCall::barrier) : ENOTTY;
  // Some file systems lack the barrier but offer the full flush, which
  // orders as well (FAT on macOS 11 to 13).
  if (notOffered(error)) error = flusher(fd, os::FlushCall::full);
  if (notOffered(error)) error = flusher(fd, os::FlushCall::fsync);
  return os::notOffered(error, os::Offer::flushAtAll) ? 0 : error;
}

int flushFolder(int folder, int file, Flusher flusher) {
  auto notOffered = [](int error) { return os::notOffered(error, os::Offer::flushCall); };
  int error = flusher(folder, os::FlushCall::full);
  if (notOffered(error)) error = flusher(file, os::FlushCall::full);
  if (notOffered(error)) error = flusher(folder, os::FlushCall::fsync);
  return os::notOffered(error, os::Offer::flushAtAll) ? 0 : error;
}

}  // namespace note2md::system
