# A toolchain that builds for macOS on Linux with Zig, which brings its own
# macOS headers and links against the system's libSystem without Apple's
# SDK (scripts/build-macos.sh uses it):
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/ZigMacOS.cmake -DNOTE2MD_ZIG=/path/to/zig
#         -DNOTE2MD_MACOS_TARGET=aarch64-macos.13.0   (or x86_64-macos.13.0)
# The sources, warnings, optimisation and hardening are CMakeLists.txt's, as
# for Linux. What Mach-O lacks, and so this build: stack-clash probes (clang
# has none for macOS targets), -z relro and -z now (no such thing in dyld's
# binding), objcopy (so ICU's data is packed by a Linux build and handed in,
# NOTE2MD_ICU_DATA_SOURCE). The binary is stripped, as Mach-O keeps no
# separate debug file, and paths are kept out of it, so that any clone gives
# the same bytes.
set(CMAKE_SYSTEM_NAME Darwin)
string(REGEX MATCH "^[^-]+" NOTE2MD_MACOS_ARCH "${NOTE2MD_MACOS_TARGET}")
if(NOTE2MD_MACOS_ARCH STREQUAL "aarch64")
  set(CMAKE_SYSTEM_PROCESSOR arm64)
else()
  set(CMAKE_SYSTEM_PROCESSOR ${NOTE2MD_MACOS_ARCH})
endif()
# The checks that CMake compiles see the same target.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NOTE2MD_ZIG NOTE2MD_MACOS_TARGET)

# "zig c++ -target T" as the one program CMake wants for each tool. Zig's
# linker refuses -v, which CMake passes to learn the compiler's ABI.
get_filename_component(zig_home "${NOTE2MD_ZIG}" DIRECTORY)
set(wrappers "${zig_home}/wrappers/${NOTE2MD_MACOS_TARGET}")
foreach(tool cc c++ ar ranlib)
  if(tool MATCHES "^c")
    set(command "for a do shift; [ \"$a\" = -Wl,-v ] || set -- \"$@\" \"$a\"; done
exec \"${NOTE2MD_ZIG}\" ${tool} -target ${NOTE2MD_MACOS_TARGET} \"$@\"")
  else()
    set(command "exec \"${NOTE2MD_ZIG}\" ${tool} \"$@\"")
  endif()
  file(CONFIGURE OUTPUT "${wrappers}/${tool}" CONTENT "#!/bin/sh\n${command}\n")
  file(CHMOD "${wrappers}/${tool}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_C_COMPILER "${wrappers}/cc")
set(CMAKE_CXX_COMPILER "${wrappers}/c++")
set(CMAKE_AR "${wrappers}/ar" CACHE FILEPATH "")
set(CMAKE_RANLIB "${wrappers}/ranlib" CACHE FILEPATH "")
# The target names the oldest macOS; no SDK, no -mmacosx-version-min.
set(CMAKE_OSX_SYSROOT "" CACHE PATH "")
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "")

# Stand-ins for the headers that Zig's macOS headers lack, as Apple's
# manuals declare them: <sys/xattr.h>, <xattr_flags.h>, and <tzfile.h> for
# ICU. A build on a Mac uses the real ones.
set(flags "-ffile-prefix-map=${zig_home}=zig -isystem ${CMAKE_CURRENT_LIST_DIR}/macos-headers")
set(CMAKE_C_FLAGS_INIT "${flags}")
set(CMAKE_CXX_FLAGS_INIT "${flags}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-s")

# Libraries and headers of the target only, never the Linux host's (its ICU).
set(CMAKE_FIND_ROOT_PATH "${zig_home}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
