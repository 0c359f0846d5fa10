# Sourced by the other scripts: makes sure the Debian packages they need are
# installed. As root it installs what is missing; otherwise it prints the one
# command to run and stops.
# Usage: need_packages PACKAGE...
need_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || {
      echo "apt-get could not install: ${missing[*]}" >&2
      exit 1
    }
  else
    echo "Missing packages. Run:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

# What building the program needs: the compiler, ICU, and ICU's data tools
# (icupkg, genccode) that cut its data down to what the program loads.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config binutils libicu-dev icu-devtools)

# What the test suite needs besides: GoogleTest (its library, and its sources
# for other C++ libraries), a CommonMark renderer, strace for fault injection,
# acl and attr to set and read ACLs and extended attributes, mandoc to check
# the man page, dpkg-dev for the package's Depends, lintian to check the
# package and devscripts for hardening-check.
TEST_PACKAGES=(libgtest-dev googletest cmark-gfm strace acl attr mandoc dpkg-dev lintian devscripts)

# Usage: configure BUILD_DIR CMAKE_ARGUMENT...
# Configures with Ninja, or with whatever generator BUILD_DIR already uses.
configure() {
  local dir=$1
  shift
  local generator=(-G Ninja)
  [ -f "$dir/CMakeCache.txt" ] && generator=()
  cmake -S . -B "$dir" "${generator[@]}" "$@" >/dev/null
}
