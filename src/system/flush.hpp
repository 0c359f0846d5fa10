// Bringing written data to the disk itself.
#pragma once

namespace note2md::system {

enum class Flush {
  ordered,  // the file's data before anything written after it (the rename)
  durable,  // everything written so far, through the drive's own cache
};

// The ways to flush a descriptor: macOS's F_BARRIERFSYNC (an ordering
// barrier) and F_FULLFSYNC (through the drive's cache), and fsync, which on
// macOS reaches only the drive's cache.
enum class FlushCall { barrier, full, fsync };

// Makes one such call: 0 or the errno. Where the system has no such call,
// the answer is ENOTTY, as from a file system that does not offer it.
using Flusher = int (*)(int fd, FlushCall call);
int systemFlusher(int fd, FlushCall call);

// Flushes the file or folder open as `fd` through `flusher`: `ordered` asks
// for a barrier, `durable` for a full flush; a call that the file system
// does not offer gives way to the next one (barrier, full, fsync), a drive
// error never does. Returns 0 or the errno; a file system that cannot flush
// at all (EINVAL, EROFS, ENOTSUP, EBADF) gives 0, since that is no reason to
// lose the result.
int flush(int fd, Flush how, Flusher flusher = systemFlusher);

}  // namespace note2md::system
