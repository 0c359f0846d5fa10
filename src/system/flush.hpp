// Bringing written data to the disk itself.
#pragma once

namespace note2md::system {

enum class Flush {
  ordered,  // the file's data before anything written after it (the rename)
  durable,  // everything written so far, through the drive's own cache
};

// Flushes the file or folder open as `fd`. On macOS fsync only reaches the
// drive's cache, so `ordered` asks for F_BARRIERFSYNC and `durable` for
// F_FULLFSYNC, falling back to fsync only where the file system does not
// offer them; elsewhere both are fsync. Returns 0 or the errno; a file
// system that cannot flush at all (EINVAL, EROFS, ENOTSUP, EBADF) gives 0,
// since that is no reason to lose the result.
int flush(int fd, Flush how);

// Whether a failed F_BARRIERFSYNC or F_FULLFSYNC only says that the file
// system does not offer it, as opposed to a failure of the drive.
bool offersNoFullSync(int error);

}  // namespace note2md::system
