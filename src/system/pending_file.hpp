// The new text of a destination until it takes the destination's place.
//
// Its states (state_), and the members that go with each:
//   unnamed    file_ open in the destination's folder without a name (Linux,
//              O_TMPFILE), which nothing, not even SIGKILL or a power loss,
//              can leave behind; name_ empty;
//   named      file_ open under the auxiliary name name_ (".note2md-" and
//              twelve random characters), registered for removal by the
//              ending signals: made so where no unnamed file can be had, or
//              an unnamed file named so to be renamed over an existing file;
//   committed  in place under the destination's name: nothing is pending,
//              name_ empty;
//   kept       left under its auxiliary name on purpose, as the only copy
//              of the new text once the destination is gone (a rename that
//              failed halfway), and named in the error line: name_ empty;
//   removed    its auxiliary name removed (abandon, discard or the
//              destructor), or taken by another program: name_ empty.
// Naming, committing and removing happen with the ending signals held, so
// that a signal finds the file either pending and registered, or not. Each
// call asserts the state it needs; a misuse is a bug of the caller.
#pragma once

#include <string>

#include <sys/stat.h>

#include "system/descriptor.hpp"
#include "system/failure.hpp"

namespace note2md::system {

class PendingFile {
 public:
  enum class Kind { unnamedWherePossible, named };

  // Created in the folder open as `folder`: private when it is to replace a
  // file (which then hands on its attributes), else as any new file is made
  // (the umask and the folder's default ACL apply). Throws Failure: the
  // folder's (createInFolder), or one of the locked folder's steps
  // (appendOnlyFolder, immutableFolder and their OfFile forms) before an
  // auxiliary name is made in a folder that could never remove it.
  PendingFile(int folder, bool replacing, Kind kind);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // While pending, and once committed (for the flush of the file in place).
  int fd() const;

  // Puts the file in place as `name` in one step: as a new file, which no
  // file of that name may stand in the way of; or, given `replacing`, over
  // that very file (held open by the caller), as long as the name still
  // holds it. changed: the name is taken, or holds another file or none;
  // cannotName: an unnamed file that cannot be named here at all (no /proc,
  // and a kernel that lets only privileged processes link a descriptor), so
  // the text must go through a named one. The file stays pending in either
  // case, for abandon. Throws Failure for anything else.
  enum class Placed { done, changed, cannotName };
  Placed commit(const std::string& name, const struct stat* replacing);

  // Removes the auxiliary name of a file that is not to be used; throws
  // Failure (write) when it cannot be, which discard then tells.
  void abandon();
  // Removes the auxiliary name after `failure`; one that cannot be removed
  // is told in it.
  void discard(Failure& failure);

 private:
  enum class State { unnamed, named, committed, kept, removed };

  // Tries auxiliary names with `make` (which answers 0 or the errno) until
  // one is free: 0 or the errno.
  template <typename Make>
  int makeAuxiliary(Make make);
  int remove();
  // Throws Failure (auxiliaryTaken) where the auxiliary name no longer holds
  // this file, which is then no longer in its care.
  void refuseIfTaken();
  // After the rename over `name` failed with `error`: throws Failure, and
  // keeps the file where the destination is gone, unless it can be put in
  // place as a new file after all (then returns).
  void keepIfOnlyCopy(const std::string& name, int error);

  int folder_;
  Descriptor file_;
  State state_ = State::unnamed;
  std::string name_;  // the auxiliary name, while named
};

}  // namespace note2md::system
