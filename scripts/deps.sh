# Sourced by the other scripts: makes sure the packages they need are
# installed. On Debian, as root, it installs what is missing; otherwise, and
# on macOS with Homebrew, it prints the one command to run and stops.
# Written for the bash of macOS (3.2) too.
# Usage: need_packages PACKAGE...   (Debian package names)

# What building the program needs: the compiler, ICU, and ICU's data tools
# (icupkg, genccode) that cut its data down to what the program loads.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config binutils libicu-dev icu-devtools)

# What the test suite needs besides: GoogleTest (its library, and its sources
# for other C++ libraries), a CommonMark renderer, strace for fault injection
# and procps to find the traced process,
# acl and attr to set and read ACLs and extended attributes, mandoc to check
# the man page, dpkg-dev for the package's Depends, lintian to check the
# package, devscripts for hardening-check, valgrind to count instructions,
# fusefat and dosfstools for a FAT file system to write to, bindfs for a FUSE
# file system over ext4, and ruby to check the Homebrew formula.
TEST_PACKAGES=(libgtest-dev googletest cmark-gfm strace procps acl attr mandoc dpkg-dev lintian devscripts valgrind
  fusefat dosfstools bindfs ruby)

# The same on macOS, as Homebrew formulae; the Linux-only tools have none,
# and the tests that need them say so and skip.
brew_formula() {
  case $1 in
  ninja-build) echo ninja ;;
  libicu-dev) echo icu4c ;;
  libgtest-dev) echo googletest ;;
  cmake | pkg-config | cmark-gfm) echo "$1" ;;
  esac
}

need_packages() {
  local missing=() package
  if [ "$(uname)" = Darwin ]; then
    for package in "$@"; do
      package=$(brew_formula "$package")
      [ -n "$package" ] && ! brew list --formula "$package" >/dev/null 2>&1 && missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Missing Homebrew formulae. Run:" >&2
    echo "  brew install ${missing[*]}" >&2
    exit 1
  fi
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

# Usage: configure BUILD_DIR CMAKE_ARGUMENT...
# Configures with Ninja, or with whatever generator BUILD_DIR already uses;
# on macOS with Homebrew's ICU.
configure() {
  local dir=$1
  shift
  local options=(-G Ninja)
  [ -f "$dir/CMakeCache.txt" ] && options=()
  [ "$(uname)" = Darwin ] && options+=("-DICU_ROOT=$(brew --prefix icu4c)")
  cmake -S . -B "$dir" ${options[@]+"${options[@]}"} "$@" >/dev/null
}

# The number of processors, on Linux and macOS alike.
processors() { getconf _NPROCESSORS_ONLN; }

# The functions below ask about the source tree in the current folder, its top.

# tree_git ARGUMENT...: git on this tree, trusted though another user own it.
# A CI container's steps run as root in the runner's checkout, which git
# refuses otherwise ("dubious ownership"). Only this call is told so: the
# user's git config stays as it is.
tree_git() { git -c safe.directory="$(pwd -P)" "$@"; }

# has_git: whether this tree is a git checkout that git is there to read; a
# source archive is not.
has_git() { [ -e .git ] && command -v git >/dev/null; }

# tree_files: the tree's files, one a line, sorted: what git tracks or would
# add, or without git every file outside the build folders (/build*/ and
# /dist/ of .gitignore).
tree_files() {
  if has_git; then
    tree_git -c core.quotePath=false ls-files --cached --others --exclude-standard
  else
    find . \( -path ./.git -o -type d \( -path './build*' -o -path ./dist \) \) -prune -o ! -type d -print | cut -c3-
  fi | LC_ALL=C sort
}
