// The seam (os.hpp) on macOS 13 and later.
//
// Linux never compiles this file. scripts/build-macos.sh compiles and links
// it for both Mac targets on every CI run here; it runs only in the hosted
// workflow's macOS jobs (.github/workflows/ci.yml: macos-15, macos-26,
// macos-15-intel, macos-26-intel), through scripts/e2e.sh, whose macos
// section checks what Linux cannot imitate: ACLs and their inheritable
// entries, attributes the system manages or a safe save drops, Finder's
// flags and dates, the stored name, names that are not UTF-8. Here, besides,
// the named-file path and the flush policy run on Linux (os_linux.cpp with
// NOTE2MD_NAMED_FILES_ONLY, and the flush table of the unit tests).
#include "system/os.hpp"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/acl.h>
#include <sys/attr.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/param.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <xattr_flags.h>

namespace note2md::system::os {

const int kSearchOnly = O_SEARCH;
const int kMaxLinks = 32;

// Only /dev/fd itself: the rest of /dev holds devices, which are no regular
// files, and links into /dev/fd, which are followed there.
bool holdsDescriptors(int folder) {
  struct statfs system {};
  if (::fstatfs(folder, &system) != 0 || std::strcmp(system.f_fstypename, "devfs") != 0) return false;
  struct stat here {};
  struct stat descriptors {};
  return ::fstat(folder, &here) == 0 && ::stat("/dev/fd", &descriptors) == 0 && here.st_dev == descriptors.st_dev &&
         here.st_ino == descriptors.st_ino;
}

std::string storedName(int folder, const std::string& name) {
  struct Reply {
    uint32_t length;
    attrreference_t name;
    char bytes[NAME_MAX * 3 + 1];
  } __attribute__((aligned(4), packed)) reply{};
  attrlist wanted{};
  wanted.bitmapcount = ATTR_BIT_MAP_COUNT;
  wanted.commonattr = ATTR_CMN_NAME;
  if (::getattrlistat(folder, name.c_str(), &wanted, &reply, sizeof reply, FSOPT_NOFOLLOW) == 0 &&
      reply.name.attr_length > 1) {
    const char* stored = reinterpret_cast<const char*>(&reply.name) + reply.name.attr_dataoffset;
    return std::string(stored, ::strnlen(stored, reply.name.attr_length));
  }
  return name;
}

Lock folderLock(int folder) {
  struct stat status {};
  if (::fstat(folder, &status) != 0) return Lock::none;
  if (status.st_flags & (UF_IMMUTABLE | SF_IMMUTABLE)) return Lock::immutable;
  if (status.st_flags & (UF_APPEND | SF_APPEND)) return Lock::appendOnly;
  return Lock::none;
}

int flushFileSystem(int) { return ENOTSUP; }

int randomBytes(unsigned char* bytes, std::size_t count) { return ::getentropy(bytes, count) == 0 ? 0 : errno; }

int openUnnamed(int, mode_t) {
  errno = ENOTSUP;
  return -1;
}

int nameUnnamed(int, int, const char*, bool& never) {
  never = true;
  return ENOTSUP;
}

int renameExclusive(int folder, const char* from, const char* to) {
  return ::renameatx_np(folder, from, folder, to, RENAME_EXCL) == 0 ? 0 : errno;
}

bool knownUser(uid_t) { return true; }

// No O_PATH here: opened without waiting, so that a FIFO cannot hold the
// run, and its type told afterwards.
int holdOld(int folder, const char* name) {
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  const int fd = ::openat(folder, name, O_RDONLY | flags);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::openat(folder, name, O_WRONLY | flags);
}

int mayWrite(int, int folder, const char* name) { return ::faccessat(folder, name, W_OK, AT_EACCESS) == 0 ? 0 : errno; }

// The held descriptor is open for reading (or writing) already.
OldFile openOld(int held, const struct stat&, int, const char*) {
  OldFile old;
  old.fd = held;
  return old;
}

ssize_t listAttributes(const OldFile& old, char* list, std::size_t size) { return ::flistxattr(old.fd, list, size, 0); }

ssize_t getAttribute(const OldFile& old, const char* name, char* value, std::size_t size) {
  return ::fgetxattr(old.fd, name, value, size, 0, 0);
}

int setAttribute(int file, const char* name, const std::vector<char>& value) {
  return ::fsetxattr(file, name, value.data(), value.size(), 0, 0) == 0 ? 0 : errno;
}

const int kNoAttribute = ENOATTR;

bool isAcl(std::string_view) { return false; }

// What Apple's own safe save drops: attributes that describe the old content
// (its text encoding, its resource fork, Finder's information), those kept
// only for backups, and any whose name says so with a flags suffix ("#C",
// "#N", "#B").
bool dropsOnSave(std::string_view name) {
  return !::xattr_preserve_for_intent(std::string(name).c_str(), XATTR_OPERATION_INTENT_SAVE);
}

int readAcl(const OldFile& old, std::vector<char>& bytes, bool& has) {
  has = false;
  acl_t acl = ::acl_get_fd_np(old.fd, ACL_TYPE_EXTENDED);
  if (acl == nullptr) return errno == ENOENT ? 0 : errno;
  const ssize_t size = ::acl_size(acl);
  int error = 0;
  if (size < 0) {
    error = errno;
  } else {
    bytes.resize(static_cast<std::size_t>(size));
    if (::acl_copy_ext_native(bytes.data(), acl, size) < 0) error = errno;
  }
  ::acl_free(acl);
  has = error == 0;
  return error;
}

int hasAcl(int file, bool& has) {
  acl_t acl = ::acl_get_fd_np(file, ACL_TYPE_EXTENDED);
  has = acl != nullptr;
  if (has) ::acl_free(acl);
  return has || errno == ENOENT ? 0 : errno;
}

int clearAcl(int file) {
  filesec_t none = ::filesec_init();
  if (none == nullptr) return errno;
  ::filesec_set_property(none, FILESEC_ACL, _FILESEC_REMOVE_ACL);
  const int error = ::fchmodx_np(file, none) == 0 ? 0 : errno;
  ::filesec_free(none);
  return error;
}

int setAcl(int file, const std::vector<char>& bytes) {
  acl_t acl = ::acl_copy_int_native(bytes.data());
  if (acl == nullptr) return errno;
  const int error = ::acl_set_fd_np(file, acl, ACL_TYPE_EXTENDED) == 0 ? 0 : errno;
  ::acl_free(acl);
  return error;
}

// Never the immutable or append-only flags, which would stop the write that
// follows, nor the system's flags, which only root may set.
const unsigned kCarriedFlags = UF_HIDDEN | UF_NODUMP;

unsigned flagsOf(const struct stat& status) { return status.st_flags; }

int setFlags(int file, unsigned flags) { return ::fchflags(file, flags) == 0 ? 0 : errno; }

int setCreationDate(int file, const struct stat& old) {
  attrlist wanted{};
  wanted.bitmapcount = ATTR_BIT_MAP_COUNT;
  wanted.commonattr = ATTR_CMN_CRTIME;
  timespec created = old.st_birthtimespec;
  return ::fsetattrlist(file, &wanted, &created, sizeof created, 0) == 0 ? 0 : errno;
}

// fsync reaches only the drive's cache here.
int flush(int fd, FlushCall call) {
  switch (call) {
    case FlushCall::barrier: return ::fcntl(fd, F_BARRIERFSYNC) != -1 ? 0 : errno;
    case FlushCall::full: return ::fcntl(fd, F_FULLFSYNC) != -1 ? 0 : errno;
    case FlushCall::fsync: break;
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

namespace {

// Every signal whose default action ends a process, SIGPIPE and SIGXFSZ
// aside (SIGIO's default is to be ignored here).
constexpr int kEndingSignals[] = {
    SIGHUP,  SIGINT, SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGEMT,  SIGFPE,  SIGBUS,
    SIGSEGV, SIGSYS, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGUSR1, SIGUSR2,
};

}  // namespace

std::span<const int> endingSignals() { return kEndingSignals; }

void catchEndingSignals(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : kEndingSignals) sigaddset(&action.sa_mask, signal);
  for (int signal : kEndingSignals) {
    struct sigaction previous {};
    if (::sigaction(signal, &action, &previous) == 0 && previous.sa_handler == SIG_IGN)
      ::sigaction(signal, &previous, nullptr);
  }
}

void holdEndingSignals(sigset_t& previous) {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kEndingSignals) sigaddset(&held, signal);
  ::sigprocmask(SIG_BLOCK, &held, &previous);
}

void restoreSignalMask(const sigset_t& previous) { ::sigprocmask(SIG_SETMASK, &previous, nullptr); }

// xnu never resets the action of SIGILL and SIGTRAP, SA_RESETHAND or not: the
// default is set here, or the signal would come back to the handler for
// ever.
void endBySignal(int signal) {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::kill(::getpid(), signal);
}

void adviseHugePages(void*, std::size_t) {}

// macOS keeps pages that MADV_DONTNEED only deactivates; fresh pages mapped
// over them free them for real. Should the mapping fail, the memory merely
// stays.
void giveBack(void* start, std::size_t length) {
  ::mmap(start, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
}

}  // namespace note2md::system::os
