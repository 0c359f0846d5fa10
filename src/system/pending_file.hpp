// The new text of a destination until it takes the destination's place: on
// Linux an unnamed file in the destination's folder (O_TMPFILE), which
// nothing, not even SIGKILL or a power loss, can leave behind; elsewhere, or
// where the file system cannot make one or it cannot be named, a file with an
// unpredictable name beside the destination, removed on failure and on
// ending signals.
#pragma once

#include <string>

#include <sys/types.h>

#include "system/descriptor.hpp"
#include "system/platform.hpp"

namespace note2md::system {

class PendingFile {
 public:
  // Created in the folder open as `folder`, private when it is to replace a
  // file (which then hands on its attributes), else as any new file (the
  // umask and the folder's default ACL apply); `named` asks for a named
  // auxiliary file even where an unnamed one could be had. Throws FileError
  // that blames the folder, for "write" and `path`.
  PendingFile(int folder, bool replacing, bool named, const std::string& path);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  int fd() const { return file_.get(); }

  // Puts the file in place as `name` in the folder, replacing a file of that
  // name when `replace` is set: atomically, with the ending signals held.
  // Returns 0 or the errno: EEXIST when a new name is taken meanwhile. On
  // failure the file stays pending, for another commit; once it is
  // destroyed nothing is left behind.
  int commit(const std::string& name, bool replace);

  // An unnamed file that could not be named at all (no /proc, and a kernel
  // that lets only privileged processes link a descriptor): the text must go
  // through a named file instead.
  bool unnameable() const { return unnameable_; }

  // Removes the auxiliary file, if it has a name: 0, or the errno that kept
  // it, with its name in `left`.
  int discard(std::string& left);

 private:
#ifdef NOTE2MD_UNNAMED_FILES
  int link(const std::string& name);
  int nameIt();
#endif
  // Throws before anything is named in a folder whose names cannot be
  // removed or renamed (append-only or immutable): the file would stay.
  void refuseLockedFolder(bool replace) const;

  int folder_;
  const std::string& path_;
  Descriptor file_;
  std::string name_;  // empty while the file has no name
  bool committed_ = false;
  bool unnameable_ = false;
};

}  // namespace note2md::system
