// The new text of a destination until it takes the destination's place.
//
// Its states, in order (as git's tempfile.c states its own):
//   created    open in the destination's folder: unnamed (Linux, O_TMPFILE),
//              which nothing, not even SIGKILL or a power loss, can leave
//              behind; or, where no unnamed file can be had, under an
//              auxiliary name (".note2md-" and twelve random characters),
//              registered for removal by the ending signals;
//   named      an unnamed file given an auxiliary name, to be renamed over an
//              existing destination (registered as above);
//   committed  in place under the destination's name: nothing is pending;
//   removed    its auxiliary name removed after a failure (discard), or by
//              the destructor.
// Naming, committing and removing happen with the ending signals held, so
// that a signal finds the file either pending and registered, or not.
#pragma once

#include <string>

#include "system/descriptor.hpp"
#include "system/failure.hpp"

namespace note2md::system {

class PendingFile {
 public:
  enum class Kind { unnamedWherePossible, named };

  // Created in the folder open as `folder`: private when it is to replace a
  // file (which then hands on its attributes), else as any new file is made
  // (the umask and the folder's default ACL apply). Throws Failure: the
  // folder's (createInFolder), or lockedFolder before an auxiliary name is
  // made in a folder that could never remove it.
  PendingFile(int folder, bool replacing, Kind kind);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  int fd() const { return file_.get(); }

  // Puts the file in place as `name`, replacing a file of that name when
  // `replace` is set, atomically. nameTaken: a new name was taken meanwhile;
  // cannotName: an unnamed file that cannot be named here at all (no /proc,
  // and a kernel that lets only privileged processes link a descriptor), so
  // the text must go through a named one. The file stays pending for
  // another try in either case. Throws Failure for anything else.
  enum class Placed { done, nameTaken, cannotName };
  Placed commit(const std::string& name, bool replace);

  // Removes the auxiliary name after `failure`; one that cannot be removed
  // is told in it.
  void discard(Failure& failure);

 private:
  // Tries auxiliary names with `make` (which answers 0 or the errno) until
  // one is free: 0 or the errno.
  template <typename Make>
  int makeAuxiliary(Make make);
  int remove();

  int folder_;
  Descriptor file_;
  std::string name_;  // the auxiliary name; empty while unnamed or once committed
  bool committed_ = false;
};

}  // namespace note2md::system
