// The seam between src/system/ and the operating system: every call that
// differs between Linux and macOS, declared once here and defined once per
// system, in os_linux.cpp and os_macos.cpp (but notOffered, one table for
// both, in offered.cpp). The rest of src/system/ reads straight through,
// with no #if. Each call answers as the system does: a descriptor or -1, 0
// or an errno; notOffered says which errno only means that a file system or
// kernel does not have the feature.
//
// NOTE2MD_NAMED_FILES_ONLY (a CMake option) builds the Linux file without
// unnamed files (O_TMPFILE) and without O_PATH files, so that the named-file
// path macOS takes runs, and is tested, on Linux too. It changes no
// declaration here.
#pragma once

#include <csignal>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

#include "system/descriptor.hpp"

namespace note2md::system::os {

// --- Folders

// Open flags for a folder opened for search only (O_PATH; O_SEARCH on
// macOS 13 and later), as ">" needs no read permission to pass through a
// folder or to write in it.
extern const int kSearchOnly;
// As many links in a row as the kernel itself follows.
extern const int kMaxLinks;
// A folder of open descriptors (/proc on Linux, /dev/fd on macOS), whose
// links are no paths and whose folders could be any.
bool holdsDescriptors(int folder);
// The name as the folder stores it, on a volume that ignores case or Unicode
// normalisation (macOS); `name` elsewhere.
std::string storedName(int folder, const std::string& name);
// What keeps every name in the folder where it is (chattr +a or +i, chflags
// uappend or uchg), if anything.
enum class Lock { none, appendOnly, immutable };
Lock folderLock(int folder);
// Flushes the whole file system that holds the open file `fd`: 0 or the
// errno; ENOTSUP where the system cannot (macOS, where a full flush of the
// file empties the drive's cache instead).
int flushFileSystem(int fd);

// --- The new file

// Fills `bytes` with random bytes from the kernel: 0 or the errno.
int randomBytes(unsigned char* bytes, std::size_t count);

// A file without a name in `folder`, which nothing can leave behind: a
// descriptor, or -1 with errno (ENOTSUP where none can be made).
int openUnnamed(int folder, mode_t mode);
// Gives the unnamed file `file` the name `name` in `folder`: 0 or the errno.
// `never` is set when no unnamed file can be named here at all (no /proc,
// and a kernel that lets only privileged processes link a descriptor).
int nameUnnamed(int file, int folder, const char* name, bool& never);
// Renames `from` to `to` in `folder` unless `to` exists (EEXIST): 0 or the
// errno, one that notOffered(…, Offer::exclusiveRename) accepts where the
// file system cannot rename so.
int renameExclusive(int folder, const char* from, const char* to);

// --- The file that stands at the name

// Whether an owner shown as `uid` is a user this process can tell apart. In
// a user namespace every owner that it does not map shows as one overflow
// ID (Linux), which must match no one; true elsewhere.
bool knownUser(uid_t uid);
// Holds the file `name` in `folder` without following a link and without
// opening it for reading, where the system can (O_PATH); elsewhere opens it
// for reading, or for writing where only that is allowed, never waiting on
// a FIFO. A descriptor, or -1 with errno.
int holdOld(int folder, const char* name);
// Whether the caller may write the held file `held` (`name` in `folder`),
// as the kernel decides for ">": 0 or the errno. By the descriptor where the
// system can tell so (Linux 5.8 and later), else by name.
int mayWrite(int held, int folder, const char* name);
// The held file opened for its attributes: again for reading through the
// held descriptor, as ">" would open it (a lease is broken first), or for
// writing where it may not be read, or else read by path (/proc); where none
// of these can be, by name, and only while the name still holds the file
// `held` (ENOENT otherwise).
// `fd` is -1 and `path` empty, with errno, when it cannot be opened.
struct OldFile {
  Descriptor opened;
  int fd = -1;       // for the calls on a descriptor, unless `path` is set
  std::string path;  // for the calls by path
};
OldFile openOld(int held, const struct stat& status, int folder, const char* name);
// The extended attributes, as listxattr and getxattr answer.
ssize_t listAttributes(const OldFile& old, char* list, std::size_t size);
ssize_t getAttribute(const OldFile& old, const char* name, char* value, std::size_t size);
// What getAttribute answers for a name that is not there (any more).
extern const int kNoAttribute;
int setAttribute(int file, const char* name, const std::vector<char>& value);
// The attribute that holds the ACL (Linux), which is carried last.
bool isAcl(std::string_view name);
// Attributes that the system's own safe save drops (macOS).
bool dropsOnSave(std::string_view name);
// The ACL where it is no attribute (macOS), in its stored form: 0 or the
// errno; `has` tells whether there is one.
int readAcl(const OldFile& old, std::vector<char>& acl, bool& has);
// Whether the new file has an ACL of its own (from a folder's default or
// inheritable entries); removes it; sets the old one's: 0 or the errno.
int hasAcl(int file, bool& has);
int clearAcl(int file);
int setAcl(int file, const std::vector<char>& acl);
// The flags that go on with a file, Finder's hidden and no-backup flags
// (macOS; none elsewhere), a file's flags, and setting them: 0 or the errno.
extern const unsigned kCarriedFlags;
unsigned flagsOf(const struct stat& status);
int setFlags(int file, unsigned flags);
// The creation date (macOS): 0 or the errno.
int setCreationDate(int file, const struct stat& old);

// --- Flushing

// barrier: F_BARRIERFSYNC, the file's data before what follows (macOS);
// full: F_FULLFSYNC, through the drive's cache (macOS); fsync.
enum class FlushCall { barrier, full, fsync };
// Makes one such call: 0 or the errno; ENOTTY where the system has none.
int flush(int fd, FlushCall call);

// --- Signals

// Every signal whose default action ends the process and that a handler can
// catch, SIGPIPE and SIGXFSZ aside (which the run ignores).
std::span<const int> endingSignals();
// Installs `handler` for every ending signal that the caller did not ignore,
// for one delivery: the default action is back in place as it runs.
void catchEndingSignals(void (*handler)(int));
// Holds back every ending signal; `previous` receives the mask before.
void holdEndingSignals(sigset_t& previous);
void restoreSignalMask(const sigset_t& previous);
// From a handler: ends the process by `signal`, its default action set
// again first (macOS keeps a handler for SIGILL and SIGTRAP whatever it
// asked). Async-signal-safe.
void endBySignal(int signal);

// --- Memory

// Asks for transparent huge pages where the system has them.
void adviseHugePages(void* start, std::size_t length);
// Gives the pages back; they read as zeros afterwards.
void giveBack(void* start, std::size_t length);

// --- What "not offered here" means, for every call above. An answer in the
// list is no failure: the caller takes the next way or goes without.
enum class Offer {
  attributes,       // extended attributes and ACLs
  unnamedFile,      // openUnnamed
  exclusiveRename,  // renameExclusive
  flushCall,        // one flush call, before the next is tried
  flushAtAll,       // any flush of this file
};
bool notOffered(int error, Offer what);

}  // namespace note2md::system::os
