/* The two names that ICU's putil.cpp takes from macOS's <tzfile.h>, which
   Zig's macOS headers lack; the values are macOS's own. */
#ifndef NOTE2MD_TZFILE_H
#define NOTE2MD_TZFILE_H
#define TZDIR "/usr/share/zoneinfo"
#define TZDEFAULT "/etc/localtime"
#endif
