// Bringing written data to the disk itself: which flush calls, in which
// order, and which answers are failures.
#pragma once

#include "system/os.hpp"

namespace note2md::system {

enum class Flush {
  ordered,  // the file's data before anything written after it (the rename)
  durable,  // everything written so far, through the drive's own cache
};

// Makes one flush call: os::flush, or a stand-in in the tests.
using Flusher = int (*)(int fd, os::FlushCall call);

// Flushes the file or folder open as `fd` through `flusher`: `ordered` asks
// for a barrier, `durable` for a full flush; a call that the file system
// does not offer gives way to the next one (barrier, full, fsync), a drive
// error never does. Returns 0 or the errno; a file system that cannot flush
// at all gives 0, since that is no reason to lose the result.
int flush(int fd, Flush how, Flusher flusher = os::flush);

// Flushes the folder open as `folder` once `file` has been named in it,
// through the drive's own cache. Where the folder takes no full flush, the
// file's full flush empties that cache instead, the new name with it; a
// plain fsync of the folder, which on macOS stops at the drive's cache, only
// where neither is offered. Returns as flush does.
int flushFolder(int folder, int file, Flusher flusher = os::flush);

}  // namespace note2md::system
