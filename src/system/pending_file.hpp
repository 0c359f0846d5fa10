// The new text of a destination until it takes the destination's place: on
// Linux an unnamed file in the destination's folder (O_TMPFILE), which
// nothing, not even SIGKILL or a power loss, can leave behind; elsewhere, or
// where the file system cannot make one, a file with an unpredictable name
// beside the destination, removed on failure and on ending signals.
#pragma once

#include <string>

#include <sys/types.h>

#include "system/descriptor.hpp"
#include "system/platform.hpp"

namespace note2md::system {

class PendingFile {
 public:
  // Created in the folder open as `folder` with `mode` (the umask and the
  // folder's default ACL apply as to any new file). Throws FileError that
  // blames the folder, for "write" and `path`.
  PendingFile(int folder, mode_t mode, const std::string& path);
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

 private:
#ifdef NOTE2MD_UNNAMED_FILES
  int link(const std::string& name);
  int nameIt();
#endif
  void removeName();

  int folder_;
  Descriptor file_;
  std::string name_;  // empty while the file has no name
  bool committed_ = false;
};

}  // namespace note2md::system
