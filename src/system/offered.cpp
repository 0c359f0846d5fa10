#include <cerrno>

#include "system/os.hpp"

namespace note2md::system::os {
namespace {

constexpr unsigned bit(Offer what) { return 1u << static_cast<unsigned>(what); }
constexpr unsigned kAttributes = bit(Offer::attributes), kUnnamed = bit(Offer::unnamedFile),
                   kExclusive = bit(Offer::exclusiveRename), kFlushCall = bit(Offer::flushCall),
                   kFlushAtAll = bit(Offer::flushAtAll);

struct Answer {
  int error;
  unsigned offers;  // where it means "not offered here"
};

// Every answer that means "not here" rather than "failed", and why. Never a
// drive's error (EIO), so that a failure cannot pass for a missing feature.
constexpr Answer kNotOffered[] = {
    // The file system lacks the feature: attributes on FAT, O_TMPFILE or
    // RENAME_NOREPLACE through FUSE, F_BARRIERFSYNC on some volumes.
    {ENOTSUP, kAttributes | kUnnamed | kExclusive | kFlushCall | kFlushAtAll},
    {EOPNOTSUPP, kAttributes | kUnnamed | kExclusive | kFlushCall | kFlushAtAll},
    // The kernel or a FUSE file system lacks the call (renameat2 on old
    // kernels, getxattr through some FUSE file systems).
    {ENOSYS, kAttributes | kExclusive},
    // A flag the file system does not know (O_TMPFILE, RENAME_NOREPLACE), a
    // flush command it does not take, a file that cannot be flushed.
    {EINVAL, kUnnamed | kExclusive | kFlushCall | kFlushAtAll},
    // A kernel without O_TMPFILE takes it for O_DIRECTORY.
    {EISDIR, kUnnamed},
    // fcntl's flush commands on a file system without them (macOS), or on a
    // system that has none.
    {ENOTTY, kFlushCall},
    // A file system that cannot be flushed at all: mounted read-only, or a
    // descriptor that cannot be (some special files).
    {EROFS, kFlushAtAll},
    {EBADF, kFlushAtAll},
};

}  // namespace

bool notOffered(int error, Offer what) {
  for (const Answer& answer : kNotOffered) {
    if (answer.error == error && (answer.offers & bit(what))) return true;
  }
  return false;
}

}  // namespace note2md::system::os
