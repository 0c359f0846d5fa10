// The seam (os.hpp) on Linux. NOTE2MD_NAMED_FILES_ONLY leaves out the
// unnamed files (O_TMPFILE) and the O_PATH files of existing ones, so that
// the named-file path that macOS takes runs here too.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "system/os.hpp"

namespace note2md::system::os {
namespace {

#ifdef NOTE2MD_NAMED_FILES_ONLY
constexpr bool kUnnamedFiles = false;
#else
constexpr bool kUnnamedFiles = true;
#endif

// How a process reaches its own descriptor by path.
std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

constexpr char kAccessAcl[] = "system.posix_acl_access";

}  // namespace

// O_PATH opens a folder for search only, and so stands in for O_SEARCH.
const int kSearchOnly = O_PATH;
const int kMaxLinks = 40;

bool holdsDescriptors(int folder) {
  struct statfs system {};
  return ::fstatfs(folder, &system) == 0 && system.f_type == 0x9fa0;  // PROC_SUPER_MAGIC
}

std::string storedName(int, const std::string& name) { return name; }

Lock folderLock(int folder) {
  struct statx status {};
  if (::statx(folder, "", AT_EMPTY_PATH, 0, &status) != 0) return Lock::none;
  const auto flags = status.stx_attributes & status.stx_attributes_mask;
  if (flags & STATX_ATTR_IMMUTABLE) return Lock::immutable;
  if (flags & STATX_ATTR_APPEND) return Lock::appendOnly;
  return Lock::none;
}

int flushFileSystem(int fd) { return ::syncfs(fd) == 0 ? 0 : errno; }

int randomBytes(unsigned char* bytes, std::size_t count) { return ::getentropy(bytes, count) == 0 ? 0 : errno; }

int openUnnamed(int folder, mode_t mode) {
  if constexpr (!kUnnamedFiles) {
    errno = ENOTSUP;
    return -1;
  }
  return ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}

// Through /proc, as open(2) shows: any process may link its own O_TMPFILE
// file that way, while linking the descriptor itself (AT_EMPTY_PATH, where
// /proc is missing) needs a privilege before Linux 6.10.
int nameUnnamed(int file, int folder, const char* name, bool& never) {
  const std::string self = descriptorPath(file);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno == ENOENT && ::linkat(file, "", folder, name, AT_EMPTY_PATH) == 0) return 0;
  const int error = errno;
  never = error == ENOENT && ::faccessat(AT_FDCWD, self.c_str(), F_OK, 0) != 0;
  return error;
}

int renameExclusive(int folder, const char* from, const char* to) {
  return ::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
}

bool knownUser(uid_t uid) {
  // Each line: the first ID inside, the first outside, how many. Without
  // /proc there is no telling: the kernel's usual overflow ID is taken for
  // one, in a sandbox that hides /proc as anywhere.
  char map[4096];
  const Descriptor file(::open("/proc/self/uid_map", O_RDONLY | O_CLOEXEC));
  const ssize_t size = file.valid() ? ::read(file.get(), map, sizeof map - 1) : -1;
  if (size < 0) return uid != 65534;
  map[size] = '\0';
  const char* next = map;
  for (;;) {
    char* end = nullptr;
    const unsigned long inside = std::strtoul(next, &end, 10);
    if (end == next) return false;
    std::strtoul(end, &end, 10);
    const unsigned long count = std::strtoul(end, &end, 10);
    if (uid >= inside && uid - inside < count) return true;
    next = end;
  }
}

namespace {

// Opens `name` without waiting: for reading, else for writing where only
// that is allowed. A lease that another process holds is being broken by
// the first try (it fails with EWOULDBLOCK): tried again until the kernel's
// own time for that (lease-break-time, 45 s by default) has passed.
int openWithoutWaiting(int folder, const char* name) {
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  for (int waited = 0;; waited += 10) {
    int fd = ::openat(folder, name, O_RDONLY | flags);
    if (fd < 0 && errno == EACCES) fd = ::openat(folder, name, O_WRONLY | flags);
    if (fd >= 0 || errno != EWOULDBLOCK || waited >= 60000) return fd;
    const timespec pause{0, 10 * 1000 * 1000};
    ::nanosleep(&pause, nullptr);
  }
}

}  // namespace

int holdOld(int folder, const char* name) {
  if constexpr (kUnnamedFiles) return ::openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  return openWithoutWaiting(folder, name);
}

int mayWrite(int held, int folder, const char* name) {
  if (::faccessat(held, "", W_OK, AT_EACCESS | AT_EMPTY_PATH) == 0) return 0;
  // An older kernel knows no AT_EMPTY_PATH here.
  if (errno != EINVAL && errno != ENOSYS) return errno;
  return ::faccessat(folder, name, W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

OldFile openOld(int held, const struct stat& status, int folder, const char* name) {
  OldFile old;
  if constexpr (!kUnnamedFiles) {
    old.fd = held;
    return old;
  }
  const std::string self = descriptorPath(held);
  old.opened = Descriptor(::open(self.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
  if (old.opened.valid()) {
    old.fd = old.opened.get();
    return old;
  }
  // No read access: opened for writing, which the rules allowed, or else
  // read by path.
  if (errno == EACCES) {
    old.opened = Descriptor(::open(self.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (old.opened.valid()) {
      old.fd = old.opened.get();
      return old;
    }
    old.path = self;
    return old;
  }
  if (errno != ENOENT) return old;
  // No /proc (a chroot, a bare container): by name, the held file only.
  old.opened = Descriptor(openWithoutWaiting(folder, name));
  struct stat opened {};
  if (!old.opened.valid() || ::fstat(old.opened.get(), &opened) != 0) return old;
  if (opened.st_dev != status.st_dev || opened.st_ino != status.st_ino) {
    old.opened.reset();
    errno = ENOENT;
    return old;
  }
  old.fd = old.opened.get();
  return old;
}

ssize_t listAttributes(const OldFile& old, char* list, std::size_t size) {
  return old.path.empty() ? ::flistxattr(old.fd, list, size) : ::listxattr(old.path.c_str(), list, size);
}

ssize_t getAttribute(const OldFile& old, const char* name, char* value, std::size_t size) {
  return old.path.empty() ? ::fgetxattr(old.fd, name, value, size) : ::getxattr(old.path.c_str(), name, value, size);
}

int setAttribute(int file, const char* name, const std::vector<char>& value) {
  return ::fsetxattr(file, name, value.data(), value.size(), 0) == 0 ? 0 : errno;
}

const int kNoAttribute = ENODATA;

bool isAcl(std::string_view name) { return name == kAccessAcl; }

bool dropsOnSave(std::string_view) { return false; }

// The ACL is an extended attribute here, read with the others.
int readAcl(const OldFile&, std::vector<char>&, bool& has) {
  has = false;
  return 0;
}

int hasAcl(int file, bool& has) {
  has = ::fgetxattr(file, kAccessAcl, nullptr, 0) >= 0;
  return has || errno == ENODATA ? 0 : errno;
}

int clearAcl(int file) { return ::fremovexattr(file, kAccessAcl) == 0 || errno == ENODATA ? 0 : errno; }

int setAcl(int file, const std::vector<char>& acl) { return setAttribute(file, kAccessAcl, acl); }

const unsigned kCarriedFlags = 0;

unsigned flagsOf(const struct stat&) { return 0; }

int setFlags(int, unsigned) { return 0; }

int setCreationDate(int, const struct stat&) { return 0; }

int flush(int fd, FlushCall call) {
  if (call != FlushCall::fsync) return ENOTTY;
  return ::fsync(fd) == 0 ? 0 : errno;
}

namespace {

// Every signal whose default action ends a process, SIGPIPE and SIGXFSZ
// aside; SIGIO's default ends one here (elsewhere it is ignored).
constexpr int kEndingSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,   SIGABRT, SIGBUS, SIGFPE,    SIGUSR1, SIGSEGV,
    SIGUSR2, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS, SIGSTKFLT, SIGPWR,  SIGIO,
};

// The real-time signals end a process too. The C library keeps the first
// of them for itself (32 and 33 with glibc): its sigaction refuses them and
// its sigprocmask drops them, though they end a process that, like this
// one, neither cancels threads nor changes its IDs. Where the kernel's
// layout of a signal's action is known (x86-64, arm64), they are caught and
// held through the kernel's own calls, and left alone where the C library
// has taken them.
#if defined(__x86_64__) || defined(__aarch64__)
constexpr int kFirstRealTime = 32;
constexpr bool kKernelSignals = true;
#else
const int kFirstRealTime = SIGRTMIN;
constexpr bool kKernelSignals = false;
#endif

struct KernelAction {
  void (*handler)(int);
  unsigned long flags;
  void (*restorer)();
  uint64_t mask;
};
constexpr unsigned long kRestorerFlag = 0x04000000;  // SA_RESTORER

int kernelAction(int signal, const KernelAction* action, KernelAction* previous) {
  return static_cast<int>(::syscall(SYS_rt_sigaction, signal, action, previous, sizeof(uint64_t)));
}

struct EndingSignals {
  int list[std::size(kEndingSignals) + 64];
  std::size_t count = 0;
  uint64_t mask = 0;  // as the kernel takes it
  EndingSignals() {
    for (int signal : kEndingSignals) add(signal);
    for (int signal = kFirstRealTime; signal <= SIGRTMAX; ++signal) add(signal);
  }
  void add(int signal) {
    list[count++] = signal;
    mask |= uint64_t{1} << (signal - 1);
  }
};

const EndingSignals& ending() {
  static const EndingSignals signals;
  return signals;
}

}  // namespace

std::span<const int> endingSignals() { return {ending().list, ending().count}; }

void catchEndingSignals(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : endingSignals()) sigaddset(&action.sa_mask, signal);
  for (int signal : endingSignals()) {
    struct sigaction previous {};
    if (::sigaction(signal, &action, &previous) == 0 && previous.sa_handler == SIG_IGN)
      ::sigaction(signal, &previous, nullptr);
  }
  if constexpr (!kKernelSignals) return;
  // The signals the C library keeps, with the return path it gives its own
  // handlers (read back from SIGHUP's, set just above).
  KernelAction library{};
  if (kernelAction(SIGHUP, nullptr, &library) != 0) return;
  const KernelAction kept{handler, SA_RESETHAND | (library.flags & kRestorerFlag), library.restorer, ending().mask};
  for (int signal = kFirstRealTime; signal < SIGRTMIN; ++signal) {
    KernelAction previous{};
    if (kernelAction(signal, nullptr, &previous) == 0 && previous.handler == SIG_DFL)
      kernelAction(signal, &kept, nullptr);
  }
}

// The kernel's mask is the first word of the C library's sigset_t.
void holdEndingSignals(sigset_t& previous) {
  if constexpr (kKernelSignals) {
    previous = sigset_t{};
    ::syscall(SYS_rt_sigprocmask, SIG_BLOCK, &ending().mask, &previous, sizeof(uint64_t));
    return;
  }
  sigset_t held;
  sigemptyset(&held);
  for (int signal : endingSignals()) sigaddset(&held, signal);
  ::sigprocmask(SIG_BLOCK, &held, &previous);
}

void restoreSignalMask(const sigset_t& previous) {
  if constexpr (kKernelSignals) {
    ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, &previous, nullptr, sizeof(uint64_t));
    return;
  }
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// kill, as the C library's raise refuses the signals it keeps.
void endBySignal(int signal) {
  if constexpr (kKernelSignals) {
    const KernelAction defaultAction{};
    kernelAction(signal, &defaultAction, nullptr);
  } else {
    ::signal(signal, SIG_DFL);
  }
  ::kill(::getpid(), signal);
}

void adviseHugePages(void* start, std::size_t length) { ::madvise(start, length, MADV_HUGEPAGE); }

// Frees the pages and keeps the mapping whole, huge-page advice included,
// so that the next rewriting writes this memory again in huge pages.
void giveBack(void* start, std::size_t length) { ::madvise(start, length, MADV_DONTNEED); }

}  // namespace note2md::system::os
