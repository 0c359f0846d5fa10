// The write path's policies, with a stand-in for the system where it needs
// one: the flush calls of macOS, the attributes never carried.
#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "system/attributes.hpp"
#include "system/flush.hpp"

namespace note2md {
namespace {

// The flush policy of macOS, run here with a stand-in for the system: what
// each call answers, which calls are made and what the flush returns. A
// drive error must never pass for success by a fallback to fsync, which on
// macOS does not reach the drive; nor may a folder that refuses the full
// flush fall back to it while the file's full flush can reach the drive.
TEST(Flush, FallsBackOnlyWhereTheFileSystemDoesNotOfferACall) {
  enum How { ordered, durable, folder };  // folder: flushFolder of folder 7 and file 8
  struct Row {
    How how;
    int barrier, full, fsync;  // the answers for 7
    int fileFull;              // the answer of F_FULLFSYNC for 8
    const char* calls;         // b, f, s: the calls made on 7, in order; F: the full flush of 8
    int result;
  };
  const Row rows[] = {
      {ordered, 0, 0, 0, 0, "b", 0},
      {ordered, ENOTTY, 0, 0, 0, "bf", 0},  // FAT on macOS: no barrier, but a full flush
      {ordered, ENOTSUP, ENOTTY, 0, 0, "bfs", 0},
      {ordered, EIO, 0, 0, 0, "b", EIO},
      {ordered, EINVAL, EIO, 0, 0, "bf", EIO},
      {durable, 0, 0, 0, 0, "f", 0},
      {durable, 0, ENOTTY, EIO, 0, "fs", EIO},
      {durable, 0, ENOSPC, 0, 0, "f", ENOSPC},
      {durable, 0, ENOTTY, EROFS, 0, "fs", 0},  // nothing to flush on a read-only file system
      {durable, 0, EBADF, 0, 0, "f", 0},
      {folder, 0, 0, 0, 0, "f", 0},
      {folder, 0, ENOTSUP, 0, 0, "fF", 0},  // a volume whose folders take no full flush
      {folder, 0, EINVAL, 0, EIO, "fF", EIO},
      {folder, 0, ENOTTY, 0, ENOTTY, "fFs", 0},  // Linux: fsync reaches the disk
      {folder, 0, EIO, 0, 0, "f", EIO},
  };
  static const Row* row;
  static std::string calls;
  for (const Row& each : rows) {
    row = &each;
    calls.clear();
    const system::Flusher standIn = [](int fd, system::os::FlushCall call) {
      EXPECT_TRUE(fd == 7 || (fd == 8 && call == system::os::FlushCall::full)) << fd;
      calls += fd == 8 ? 'F' : "bfs"[static_cast<int>(call)];
      if (fd == 8) return row->fileFull;
      return call == system::os::FlushCall::barrier ? row->barrier
             : call == system::os::FlushCall::full  ? row->full
                                                    : row->fsync;
    };
    const int result =
        each.how == folder
            ? system::flushFolder(7, 8, standIn)
            : system::flush(7, each.how == ordered ? system::Flush::ordered : system::Flush::durable, standIn);
    EXPECT_EQ(calls + " " + std::to_string(result), std::string(each.calls) + " " + std::to_string(each.result))
        << "row " << &each - rows;
  }
}

// The attributes that stay with the old file: named ones (not every name of
// the list again, which would restate it), a prefix, and on macOS what
// Apple's safe save drops (its own table, and a name's flags suffix); names
// close to them go on.
TEST(Attributes, WhatBelongsToTheOldContentOrTheSystemStaysBehind) {
  struct Row {
    const char* name;
    bool stays;       // everywhere
    bool staysOnMac;  // on macOS
  };
  const Row rows[] = {
      {"security.ima", true, true},
      {"com.apple.quarantine", true, true},
      {"com.apple.cs.CodeDirectory", true, true},
      {"com.apple.TextEncoding", false, true},
      {"com.apple.ResourceFork", false, true},
      {"com.apple.FinderInfo", false, true},
      {"com.apple.root.installed", false, true},
      {"com.apple.metadata:kMDItemIsShared", false, true},
      {"com.example.draft#N", false, true},
      {"user.origin", false, false},
      {"system.posix_acl_access", false, false},
      {"security.selinux", false, false},
      {"com.apple.metadata:_kMDItemUserTags", false, false},
      {"com.example.tag#S", false, false},
      {"com.apple.quarantine2", false, false},
      {"com.apple.c", false, false},
  };
#ifdef __APPLE__
  constexpr bool kMac = true;
#else
  constexpr bool kMac = false;
#endif
  for (const Row& row : rows) EXPECT_EQ(system::mustNotCarry(row.name), kMac ? row.staysOnMac : row.stays) << row.name;
}

// Finder's flags go on only where they differ, and a new file's own flags
// stay: a folder may give it ones the caller may not change (macOS's
// SF_RESTRICTED, UF_DATAVAULT), and setting all flags at once then fails.
TEST(Attributes, OnlyTheCarriedFlagsChangeAndOnlyWhereTheyDiffer) {
  constexpr unsigned kNoDump = 0x1, kImmutable = 0x2, kDataVault = 0x80, kHidden = 0x8000, kRestricted = 0x80000,
                     kAppend = 0x40000, kCarried = kHidden | kNoDump;
  struct Row {
    unsigned newFile, old;
    long want;  // -1: no call
  };
  const Row rows[] = {
      {0, 0, -1},
      {0, kHidden, kHidden},
      {kRestricted | kDataVault, kHidden | kNoDump, kRestricted | kDataVault | kHidden | kNoDump},
      {kRestricted, kRestricted | kHidden, kRestricted | kHidden},
      {kRestricted, kRestricted, -1},
      {kHidden | kDataVault, 0, kDataVault},
      {0, kImmutable | kAppend | kRestricted, -1},  // never what would stop the write, or only root may set
  };
  for (const Row& row : rows) {
    const auto flags = system::flagsToSet(row.newFile, row.old, kCarried);
    EXPECT_EQ(flags ? static_cast<long>(*flags) : -1, row.want) << "row " << &row - rows;
  }
}

}  // namespace
}  // namespace note2md
