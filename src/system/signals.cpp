#include "system/signals.hpp"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <exception>

#include <fcntl.h>
#include <unistd.h>

#include "system/os.hpp"

namespace note2md::system {
namespace {

// Read by the signal handler, so fixed storage and an atomic flag; they are
// only changed while the signals are held.
char gPendingName[256];
volatile sig_atomic_t gPendingFolder = -1;

extern "C" void removePendingAndEnd(int signal) {
  // Only async-signal-safe calls here.
  if (gPendingFolder >= 0) ::unlinkat(gPendingFolder, gPendingName, 0);
  // The process ends by the signal as soon as the handler returns, so the
  // caller sees it.
  os::endBySignal(signal);
}

// Installed only when a named file first needs it: most runs never have
// one, and the start-up stays short.
void installHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  os::catchEndingSignals(removePendingAndEnd);
}

}  // namespace

void guardProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::set_terminate([] { ::_exit(1); });
}

SignalsHeld::SignalsHeld() { os::holdEndingSignals(previous_); }

SignalsHeld::~SignalsHeld() { os::restoreSignalMask(previous_); }

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
