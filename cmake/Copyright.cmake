# The copyright file in Debian's machine-readable format: note2md's own
# licence and those of what is linked into the binary.

# A licence text as a field's continuation lines: tabs expanded, each line
# indented by one blank, an empty line written " .".
function(note2md_indent_license text out)
  string(REPLACE "\t" "        " text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  string(REGEX REPLACE "[ ]+\n" "\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  set(text " ${text}\n")
  string(REPLACE "\n \n" "\n .\n" text "${text}")
  # Twice, for blank lines that follow each other.
  string(REPLACE "\n \n" "\n .\n" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(note2md_copyright_file output license icu_license icu_version embedded runtime)
  file(READ ${license} own)
  # The permission and the disclaimer, without the title and copyright line.
  string(REGEX REPLACE "^.*\n(Permission is hereby granted)" "\\1" own "${own}")
  note2md_indent_license("${own}" own)
  set(header "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: note2md
")
  set(files "
Files: *
Copyright: 2026 the note2md developers
License: Expat
")
  set(licenses "
License: Expat
${own}")
  if(NOT embedded)
    string(APPEND header "Comment: The note2md binary uses the ICU ${icu_version} shared libraries
 installed on the system, under ICU's licence (LICENSE.ICU beside this file).
")
    file(WRITE ${output} "${header}${files}${licenses}")
    return()
  endif()
  file(READ ${icu_license} icu)
  note2md_indent_license("${icu}" icu)
  if(APPLE)
    set(with "ICU ${icu_version}, its code and all its data")
  else()
    set(with "ICU ${icu_version}, its code and the part of its data that note2md uses")
  endif()
  if(runtime)
    string(APPEND with ";\n the GNU C++ library and GCC's runtime library")
  endif()
  if(NOTE2MD_STATIC)
    string(APPEND with ";\n the GNU C library (LGPL-2.1+; its copyright file and licence are\n"
      " LICENSE.glibc and LGPL-2.1 beside this file where the binary is shipped\n on its own)")
    set(own "")
  else()
    set(own " The C library and, on macOS, the C++ library stay the system's own.\n")
  endif()
  string(APPEND header "Comment: Linked into the note2md binary:
 ${with}.
${own} The Files paragraphs under embedded/ stand for that code, not for files
 of this package.
")
  string(APPEND files "
Files: embedded/icu/*
Copyright: 1991-2022 Unicode, Inc.
 1995-2016 International Business Machines Corporation and others
License: ICU
")
  string(APPEND licenses "
License: ICU
${icu}")
  if(runtime)
    file(READ ${PROJECT_SOURCE_DIR}/doc/GCC-RUNTIME-EXCEPTION exception)
    note2md_indent_license("${exception}" exception)
    string(APPEND files "
Files: embedded/gcc-runtime/*
Copyright: 1986-2022 Free Software Foundation, Inc.
License: GPL-3+ with GCC-exception-3.1
")
    string(APPEND licenses "
License: GPL-3+ with GCC-exception-3.1
 This library is free software; you can redistribute it and/or modify it
 under the terms of the GNU General Public License as published by the Free
 Software Foundation; either version 3, or (at your option) any later
 version, with the GCC Runtime Library Exception, version 3.1, below.
 .
 On Debian systems, the complete text of the GNU General Public License
 version 3 can be found in \"/usr/share/common-licenses/GPL-3\".
 .
${exception}")
  endif()
  file(WRITE ${output} "${header}${files}${licenses}")
endfunction()
