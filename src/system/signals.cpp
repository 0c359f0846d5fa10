#include "system/signals.hpp"

#include <cstring>
#include <exception>

#include <fcntl.h>
#include <unistd.h>

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

void forEachEndingSignal(auto&& action) {
  for (int signal : kEndingSignals) action(signal);
#ifdef SIGRTMIN
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) action(signal);
#endif
}

// Read by the signal handler, so fixed storage and an atomic flag; they are
// only changed while the signals are held.
char gPendingName[256];
volatile sig_atomic_t gPendingFolder = -1;

extern "C" void removePendingAndEnd(int signal) {
  // Only async-signal-safe calls here.
  if (gPendingFolder >= 0) ::unlinkat(gPendingFolder, gPendingName, 0);
  // The disposition is back to the default (SA_RESETHAND): the signal ends
  // the process as soon as the handler returns, so the caller sees it.
  ::raise(signal);
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
}

}  // namespace

void guardProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::set_terminate([] { ::_exit(1); });
}

SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  forEachEndingSignal([&](int signal) { sigaddset(&held, signal); });
  ::sigprocmask(SIG_BLOCK, &held, &previous_);
}

SignalsHeld::~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

bool removeOnSignal(int folder, const char* name) {
  gPendingFolder = -1;
  if (name == nullptr) return true;
  std::size_t length = std::strlen(name);
  if (length >= sizeof gPendingName) return false;
  installHandlers();
  std::memcpy(gPendingName, name, length + 1);
  gPendingFolder = folder;
  return true;
}

}  // namespace note2md::system
