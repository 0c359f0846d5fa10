#include "platform/process.hpp"

#include <climits>
#include <cstring>
#include <exception>

#include <unistd.h>

namespace note2md::platform {
namespace {

constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};

// Read by the signal handler, so a fixed buffer and an atomic flag; the path
// is only changed while the signals are held.
char gPendingPath[PATH_MAX + 1];
volatile sig_atomic_t gPending = 0;

extern "C" void removePendingAndEnd(int signal) {
  // Only async-signal-safe calls here.
  if (gPending) ::unlink(gPendingPath);
  // The disposition is back to the default (SA_RESETHAND): the signal ends
  // the process as soon as the handler returns, so the caller sees it.
  ::raise(signal);
}

}  // namespace

void guardProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::set_terminate([] { ::_exit(1); });
  for (int signal : kEndingSignals) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = removePendingAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int other : kEndingSignals) sigaddset(&action.sa_mask, other);
    ::sigaction(signal, &action, nullptr);
  }
}

SignalsHeld::SignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kEndingSignals) sigaddset(&held, signal);
  ::sigprocmask(SIG_BLOCK, &held, &previous_);
}

SignalsHeld::~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

bool removeOnSignal(const char* path) {
  gPending = 0;
  if (path == nullptr) return true;
  std::size_t length = std::strlen(path);
  if (length >= sizeof gPendingPath) return false;
  std::memcpy(gPendingPath, path, length + 1);
  gPending = 1;
  return true;
}

}  // namespace note2md::platform
