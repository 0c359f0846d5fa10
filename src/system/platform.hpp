// What the write path takes from the system it runs on. NOTE2MD_MACOS_PATHS
// leaves out what only Linux offers, so that the paths macOS takes run, and
// are tested, on Linux too.
#pragma once

#include <fcntl.h>

// Unnamed files (O_TMPFILE), named through /proc/self/fd.
#if defined(O_TMPFILE) && !defined(NOTE2MD_MACOS_PATHS)
#define NOTE2MD_UNNAMED_FILES 1
#endif

// A file opened without any access (O_PATH), for the attributes of a file
// that may be written but not read.
#if defined(O_PATH) && !defined(NOTE2MD_MACOS_PATHS)
#define NOTE2MD_PATH_FILES 1
#endif

namespace note2md::system {

// A folder opened for search only, as the shell needs no read permission to
// pass through a folder or to write in it. O_PATH on Linux also stands in
// for macOS's O_SEARCH, which macOS 13 kernels honour.
#if defined(O_PATH)
inline constexpr int kSearchOnly = O_PATH;
#elif defined(O_SEARCH)
inline constexpr int kSearchOnly = O_SEARCH;
#else
inline constexpr int kSearchOnly = O_RDONLY;
#endif

}  // namespace note2md::system
