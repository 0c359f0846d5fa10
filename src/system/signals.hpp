// The process as a whole: what may end it and what is cleaned up when a
// signal does.
#pragma once

#include <csignal>

namespace note2md::system {

// Makes sure that nothing can reach standard error or end the process
// unnoticed: a closed pipe or an exceeded file-size limit becomes an ordinary
// failed write and a broken invariant exits with status 1.
void guardProcess();

// Holds back every signal that would end the process (see removeOnSignal)
// for its lifetime, so that a file can be named and registered for removal,
// or renamed and unregistered, as one step.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// The file, `name` in the folder open as `folder`, that a signal whose
// default action ends the process removes before it ends the process by the
// same signal; nullptr for none. A signal that the caller had ignored stays
// ignored. Call it while the signals are held. False when the name is too
// long to be kept, in which case nothing is registered.
bool removeOnSignal(int folder, const char* name);

}  // namespace note2md::system
