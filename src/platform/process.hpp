// The process as a whole: what may end it and what is cleaned up when a
// signal does.
#pragma once

#include <csignal>

namespace note2md::platform {

// Makes sure that nothing can reach standard error or end the process
// unnoticed: a closed pipe or an exceeded file-size limit becomes an ordinary
// failed write, a broken invariant exits with status 1, and SIGHUP, SIGINT
// and SIGTERM first remove the auxiliary file of a write in progress (see
// below), then end the process by the same signal. A signal that the caller
// had ignored stays ignored.
void guardProcess();

// Holds back SIGHUP, SIGINT and SIGTERM for its lifetime, so that a file can
// be created and registered for removal as one step.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// The file that such a signal removes; nullptr for none. Call it while the
// signals are held. False when the path is too long to be kept, in which case
// nothing is registered.
bool removeOnSignal(const char* path);

}  // namespace note2md::platform
