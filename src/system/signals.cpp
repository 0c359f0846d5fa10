#include "system/signals.hpp"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <exception>

#include <fcntl.h>
#include <unistd.h>
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
#include <cstdint>

#include <sys/syscall.h>
#define NOTE2MD_KERNEL_SIGNALS 1
#endif

namespace note2md::system {
namespace {

// Every signal whose default action ends the process and that a handler can
// catch; SIGPIPE and SIGXFSZ are ignored instead (see guardProcess).
constexpr int kEndingSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,  SIGFPE, SIGUSR1, SIGSEGV,
    SIGUSR2, SIGALRM, SIGTERM,   SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef __linux__
    SIGIO,  // elsewhere its default is to be ignored
#endif
};

#ifdef NOTE2MD_KERNEL_SIGNALS
// The kernel's real-time signals start at 32; the C library keeps the first
// of them for itself (32 and 33 with glibc): its sigaction refuses them and
// its sigprocmask drops them, though they end a process that, like this
// one, neither cancels threads nor changes its IDs. So they are caught and
// held through the kernel's own calls, and left alone where the C library
// has taken them.
constexpr int kFirstRealTime = 32;
#elif defined(SIGRTMIN)
const int kFirstRealTime = SIGRTMIN;
#endif

void forEachEndingSignal(auto&& action) {
  for (int signal : kEndingSignals) action(signal);
#ifdef SIGRTMIN
  for (int signal = kFirstRealTime; signal <= SIGRTMAX; ++signal) action(signal);
#endif
}

#ifdef NOTE2MD_KERNEL_SIGNALS
// A signal's action as the kernel takes it (x86-64 and arm64 alike).
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

uint64_t endingMask() {
  uint64_t mask = 0;
  forEachEndingSignal([&](int signal) { mask |= uint64_t{1} << (signal - 1); });
  return mask;
}
#endif

// Read by the signal handler, so fixed storage and an atomic flag; they are
// only changed while the signals are held.
char gPendingName[256];
volatile sig_atomic_t gPendingFolder = -1;

extern "C" void removePendingAndEnd(int signal) {
  // Only async-signal-safe calls here.
  if (gPendingFolder >= 0) ::unlinkat(gPendingFolder, gPendingName, 0);
  // The disposition is back to the default (SA_RESETHAND): the signal ends
  // the process as soon as the handler returns, so the caller sees it.
  // (kill, as the C library's raise refuses the signals it keeps.)
  ::kill(::getpid(), signal);
}

// Installed only when a named file first needs it: most runs never have
// one, and the start-up stays short.
void installHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action {};
  action.sa_handler = removePendingAndEnd;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  forEachEndingSignal([&](int signal) { sigaddset(&action.sa_mask, signal); });
  forEachEndingSignal([&](int signal) {
    struct sigaction previous {};
    if (::sigaction(signal, &action, &previous) == 0 && previous.sa_handler == SIG_IGN)
      ::sigaction(signal, &previous, nullptr);
  });
#ifdef NOTE2MD_KERNEL_SIGNALS
  // The signals the C library keeps, with the return path it gives its own
  // handlers (read back from SIGHUP's, set just above).
  KernelAction library{};
  if (kernelAction(SIGHUP, nullptr, &library) != 0) return;
  const KernelAction kept{removePendingAndEnd, SA_RESETHAND | (library.flags & kRestorerFlag), library.restorer,
                          endingMask()};
  for (int signal = kFirstRealTime; signal < SIGRTMIN; ++signal) {
    KernelAction previous{};
    if (kernelAction(signal, nullptr, &previous) == 0 && previous.handler == SIG_DFL)
      kernelAction(signal, &kept, nullptr);
  }
#endif
}

}  // namespace

void guardProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::set_terminate([] { ::_exit(1); });
}

#ifdef NOTE2MD_KERNEL_SIGNALS
// The kernel's mask is the first word of the C library's sigset_t.
SignalsHeld::SignalsHeld() : previous_{} {
  const uint64_t held = endingMask();
  ::syscall(SYS_rt_sigprocmask, SIG_BLOCK, &held, &previous_, sizeof held);
}

SignalsHeld::~SignalsHeld() { ::syscall(SYS_rt_sigprocmask, SIG_SETMASK, &previous_, nullptr, sizeof(uint64_t)); }
#else
SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  forEachEndingSignal([&](int signal) { sigaddset(&held, signal); });
  ::sigprocmask(SIG_BLOCK, &held, &previous_);
}

SignalsHeld::~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
#endif

void removeOnSignal(int folder, const char* name) {
  const std::size_t length = std::strlen(name);
  assert(length < sizeof gPendingName);
  installHandlers();
  gPendingFolder = -1;
  std::memcpy(gPendingName, name, std::min(length + 1, sizeof gPendingName));
  gPendingName[sizeof gPendingName - 1] = '\0';
  gPendingFolder = folder;
}

void forgetOnSignal() { gPendingFolder = -1; }

}  // namespace note2md::system
