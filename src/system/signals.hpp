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
// same signal; a signal that the caller had ignored stays ignored. `name` is
// one of the auxiliary names, far shorter than the room kept for it. Call
// both while the signals are held.
void removeOnSignal(int folder, const char* name);
// No file to remove any more.
void forgetOnSignal();

}  // namespace note2md::system
