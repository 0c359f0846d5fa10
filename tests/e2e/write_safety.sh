#!/usr/bin/env bash
# The output file as an attacker or an unlucky user meets it, through the
# real binary: write_safety.sh SECTION, one ctest entry a section.
. "$(dirname "$0")/lib.sh"

# Owner, group, mode, ACL and extended attributes: kept, never widened, and
# nothing written where ">" could not write.
permissions() {
  need root
  need setfacl acl
  need getfattr attr
  touch probe && setfacl -m u:1005:r probe 2>/dev/null || { echo "SKIP: this file system has no ACLs"; exit 77; }
  mkdir u sg && chown 1001:1001 u && chown 0:2000 sg && chmod 2775 sg
  # user, path, the existing file's mode and owner:group (- - for none),
  # the status, the mode and owner:group after
  while read -r user path mode owner want_status want_mode want_owner; do
    umask 022
    [ "$mode" = - ] || { echo previous >"$path" && chmod "$mode" "$path" && chown "$owner" "$path"; }
    convert as_user "$user" -- note.txt "$path" ""
    [ "$want_status" -eq 0 ] && want=$record || want="Error: cannot write \"$path\": Permission denied"
    expect "$path: status, output, mode and owner" "$want_status $want $want_mode $want_owner" \
      "$status $out $(mode_owner "$path")"
  done <<'TABLE'
0    new.md     -    -           0 644 0:0
0    kept.md    640  65534:65534 0 640 65534:65534
0    setid.md   6755 0:0         0 755 0:0
0    sg/root.md 644  0:0         0 644 0:0
1001 u/p.md     640  1001:2000   0 600 1001:1001
1001 u/ro.md    444  1001:1001   1 444 1001:1001
1001 u/wo.md    200  1001:1001   0 200 1001:1001
1001 u/other.md 644  1003:1003   1 644 1003:1003
TABLE

  # An ACL and extended attributes go on to the new file as they were.
  echo previous >acl.md
  setfacl -m u:1005:rw,g::---,m::rw acl.md && setfattr -n user.origin -v exporter acl.md
  attributes=$(getfacl -cp acl.md; getfattr -d -m - acl.md)
  convert -- note.txt acl.md ""
  expect "ACL and attributes kept" "$record $attributes" "$out $(getfacl -cp acl.md; getfattr -d -m - acl.md)"
  # A new file gets the folder's default ACL as from ">", no explicit mode.
  mkdir dacl && setfacl -d -m u:1005:rw,m::rw,o::- dacl
  cat note.txt >dacl/shell.md
  convert -- note.txt dacl/new.md ""
  expect "default ACL" "$(getfacl -cp dacl/shell.md | sed 1d)" "$(getfacl -cp dacl/new.md | sed 1d)"
}

# Links are followed as ">" follows them, but never planted ones, and never
# into a descriptor.
links() {
  ln -s sub/../made.md dangling.md && mkdir sub
  convert -- note.txt dangling.md ""
  expect "a dangling link: its file is made, the link stays" "Title made.md" \
    "$(head -1 made.md) $(basename "$(readlink -f dangling.md)")"
  ln -s b.md a.md && ln -s a.md b.md && mkfifo fifo && echo precious >log.txt
  # path | printed after "cannot write PATH: "
  while IFS='|' read -r path reason; do
    [ -e /proc/self ] || [ "${path#/proc}" = "$path" ] || continue
    convert -- note.txt "$path" X >>log.txt
    expect "$path" "Error: cannot write \"$path\": $reason" "$out"
  done <<'TABLE'
a.md|Too many levels of symbolic links
fifo|not a regular file
sub|Is a directory
new.md/|Is a directory
note.txt/|Not a directory
/dev/stdout|names an open descriptor, not a file
/proc/self/fd/1|names an open descriptor, not a file
TABLE
  expect "a descriptor path leaves the file behind it alone" precious "$(cat log.txt)"
}

# The kernel's rules for shared sticky folders, whatever the system's setting.
sticky() {
  need root
  # A folder like /tmp, owned by 65534: links and files of the caller and
  # of the folder's owner are used, a third user's are not.
  mkdir st victim && chmod 1777 st && chown 65534:65534 st
  # owner of the link or file | what | expected reason, or - for success
  while IFS='|' read -r owner what reason; do
    rm -rf st/* && echo precious >victim/v.md
    case $what in
    last) ln -s ../victim/v.md st/out.md && path=st/out.md ;;
    middle) ln -s ../victim st/dir && path=st/dir/v.md ;;
    file) echo precious >st/out.md && path=st/out.md && chmod 600 st/out.md ;;
    esac
    chown -h "$owner:$owner" st/*
    convert -- note.txt "$path" ""
    [ "$reason" = - ] && want="$record Title" || want="Error: cannot write \"$path\": $reason precious"
    expect "sticky, $what of $owner" "$want" "$out $(head -1 "$path")"
  done <<'TABLE'
0|last|-
65534|last|-
65533|last|not following a symbolic link that another user owns in a shared sticky folder
65533|middle|not following a symbolic link that another user owns in a shared sticky folder
65534|file|-
65533|file|not replacing a file that another user owns in a shared sticky folder
TABLE
}

# The number of the openat call that makes the unnamed file; skips the
# section where the file system makes none.
unnamed_openat() {
  strace -qq -o trace.log -e trace=openat "$NOTE2MD" note.txt out.md "" >/dev/null || {
    echo "FAIL: the traced run failed"
    exit 1
  }
  openat=$(grep -n O_TMPFILE trace.log | cut -d: -f1)
  [ -n "$openat" ] || { echo "SKIP: this file system makes no unnamed files"; exit 77; }
}

# A run ended by a signal while fsync is held back: nothing is left behind,
# the old file is untouched, the process ends by that signal.
signals() {
  need strace
  need pgrep procps
  unnamed_openat
  # signal | what makes the new text: unnamed (O_TMPFILE), or named where
  # the file system refuses that
  while read -r signal kind; do
    echo previous >out.md
    local inject=(-e inject=fsync:delay_enter=1000000)
    [ "$kind" = named ] && inject+=(-e "inject=openat:error=EOPNOTSUPP:when=$openat")
    # A shell starts background commands with SIGINT and SIGQUIT ignored.
    env --default-signal strace -qq -o /dev/null "${inject[@]}" "$NOTE2MD" note.txt out.md HSAXL >/dev/null 2>&1 &
    local tracer=$! pid="" tries
    # Until the new file is open: from then on, fsync holds it for a second.
    for tries in $(seq 500); do
      pid=$(pgrep -P "$tracer") && ls -l "/proc/$pid/fd" 2>/dev/null | grep -q -e '/\.note2md-' -e ' (deleted)$' &&
        break
      sleep 0.01
    done
    kill "-$signal" "$pid"
    wait "$tracer" 2>/dev/null
    status=$?
    expect "$signal, $kind: ended by it, old text kept, nothing left" "$((128 + $(kill -l "$signal"))) previous 0" \
      "$status $(cat out.md) $(leftovers)"
  done <<'TABLE'
KILL unnamed
TERM unnamed
TERM named
INT named
HUP named
QUIT named
USR1 named
ALRM named
TABLE
}

# The new name reaches the disk: the folder is flushed after the rename, or
# its whole file system where the folder cannot be read.
durability() {
  need strace
  echo previous >out.md
  strace -qq -o trace.log -e trace=linkat,renameat,openat,fsync,syncfs "$NOTE2MD" note.txt out.md "" >/dev/null
  expect "order of the steps" "fsync linkat renameat folder fsync" \
    "$(sed -n -E 's/^(fsync|linkat|renameat|syncfs)\(.*/\1/p; s/^openat.*O_RDONLY\|O_CLOEXEC\|O_DIRECTORY.*/folder/p' \
      trace.log | tr '\n' ' ' | sed 's/ $//')"
  # The first fsync is the file's, the second the folder's.
  while read -r error when want_status; do
    echo previous >out.md
    convert strace -qq -o /dev/null -e "inject=fsync:error=$error:when=$when" -- note.txt out.md H
    want=$record
    [ "$error" = EIO ] && want="Error: cannot write \"out.md\": the new file is in place, but its folder could not"
    [ "$error" = EIO ] && want+=" be flushed to disk: Input/output error"
    expect "flush $when: $error" "$want_status $want # Title" "$status $out $(head -1 out.md)"
  done <<'TABLE'
EINVAL 1 0
EINVAL 2 0
EIO 2 1
TABLE
  # A folder the caller may write but not read (root reads any).
  mkdir wo && chmod 300 wo
  local user=()
  [ "$(id -u)" -eq 0 ] && chown 1001 wo && user=(setpriv --reuid 1001 --regid 1001 --clear-groups)
  convert ${user[@]+"${user[@]}"} strace -qq -o wo/trace.log -e trace=syncfs -- note.txt wo/out.md ""
  expect "unreadable folder: its file system flushed" "$record 1" "$out $(grep -c '^syncfs(.*= 0$' wo/trace.log)"
}

# Error lines name the real cause and stay one line; long paths work.
errors() {
  # Line feed, escape, U+2028, U+0085, U+2029, DEL, and a byte that is not
  # UTF-8, which APFS refuses in a name.
  convert -- $'\n\x1Ba\xE2\x80\xA8b\xC2\x85c\xE2\x80\xA9d\x7F\xFF"\\.txt' out.md ""
  reason="No such file or directory"
  [ "$(uname)" = Darwin ] && reason="Illegal byte sequence"
  expect "escaped path" "Error: cannot read \"\\n\\x1Ba\\u2028b\\u0085c\\u2029d\\x7F\\xFF\\\"\\\\.txt\": $reason" "$out"
  # Longer than PATH_MAX in all, given whole or reached through links.
  local segment hop long=""
  segment=$(printf 'd%.0s' $(seq 200))
  hop=$segment/$segment/$segment/$segment
  for _ in $(seq 6); do long+=/$hop; done
  # Made a step at a time: mkdir -p of macOS stops at its PATH_MAX.
  (for _ in $(seq 6); do mkdir -p "$hop" && ln -s "$hop" a && cd "$hop" || exit 1; done)
  for path in ".$long/out.md" a/a/a/a/a/a/out2.md; do
    convert -- note.txt "$path" ""
    expect "a path of ${#path} bytes" "$record" "$out"
  done
  need strace strace
  # Any step that fails: the record and the new text, or one error line and
  # the old text (the new one when only the folder flush failed), or the new
  # text without the record that could not be printed; never anything left.
  local call when start
  # The dynamic loader's own calls come before the program's.
  strace -qq -o trace.log "$NOTE2MD" note.txt out.md H >/dev/null
  for call in openat newfstatat faccessat2 fchmod flistxattr fremovexattr write fsync linkat renameat; do
    start=$(sed '/^openat.*"note.txt"/q' trace.log | grep -c "^$call(")
    for when in $((start + 1)) $((start + 2)) $((start + 3)); do
      echo previous >out.md
      convert strace -qq -o /dev/null -e "inject=$call:error=EIO:when=$when" -- note.txt out.md H
      case $status:$out:$(head -1 out.md) in
      *$'\n'*) ok="no: more than one line: $out" ;;
      "0:$record:# Title" | "1:Error: "*"in place"*":# Title" | "1::# Title" | "1:Error: "*:previous) ok=yes ;;
      *) ok="no: $status, $out, $(head -1 out.md)" ;;
      esac
      expect "$call fails (call $when): a sound outcome, nothing left" "yes 0" "$ok $(leftovers)"
    done
  done
  unnamed_openat
  echo previous >out.md
  convert strace -qq -o /dev/null -e "inject=openat:error=EACCES:when=$openat" -- note.txt out.md ""
  expect "the folder is blamed" 'Error: cannot write "out.md": cannot create a file in its folder: Permission denied
previous' "$out
$(cat out.md)"
}

main() {
  "$1"
  finish
}
main "$@"
