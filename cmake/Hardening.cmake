# What Debian's hardening asks of every binary, where the toolchain has it:
# a position-independent executable, stack protector and stack-clash checks,
# checked string and memory functions, control-flow protection on x86-64,
# and relocations read-only once resolved, all at start-up.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

# A flag that the target ignores (stack-clash probes for macOS) is left out.
set(CMAKE_REQUIRED_FLAGS -Werror)
foreach(flag -fstack-protector-strong -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "NOTE2MD_HAS${flag}" variable)
  check_cxx_compiler_flag(${flag} ${variable})
  if(${variable})
    add_compile_options(${flag})
  endif()
endforeach()
unset(CMAKE_REQUIRED_FLAGS)
# Only optimised code can be checked; a Debug build would warn.
add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE> $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
if(NOT APPLE)
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
