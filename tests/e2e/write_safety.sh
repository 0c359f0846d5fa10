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
  mkdir u sg outer outer/inner dropbox shared && chown 1001:1001 u outer/inner && chown 0:2000 sg && chmod 2775 sg
  # Folders that may be searched but not read, as ">" may write there.
  chmod 711 outer && chmod 733 dropbox && chmod 777 shared
  # The file beforehand (- for none, or none of it) and after; a failure
  # says "Permission denied" unless the row says otherwise after a "|"
  # ("owner": the file is another user's, which a replacement would take;
  # "attribute": its attribute cannot be read).
  while IFS='|' read -r row reason; do
    read -r user path mode owner acl attribute want_status want_mode want_owner <<<"$row"
    case $user in user | \#*) continue ;; esac
    # uid/group: a user with one more group
    local groups=--clear-groups
    [ "${user#*/}" != "$user" ] && groups=--groups=${user#*/} && user=${user%/*}
    umask 022
    # (chown first: it clears the set-ID bits that a row may start with)
    [ "$mode" = - ] || { echo previous >"$path" && chown "$owner" "$path" && chmod "$mode" "$path"; }
    [ "$acl" = - ] || setfacl -m "$acl" "$path"
    [ "$attribute" = - ] || setfattr -n "$attribute" -v exporter "$path"
    convert setpriv --reuid "$user" --regid "$user" "$groups" -- note.txt "$path" ""
    case $reason in
    owner) reason='cannot replace a file that another user owns (">" would write into it in place)' ;;
    attribute) reason="cannot carry over the attribute \"$attribute\": Permission denied" ;;
    esac
    [ "$want_status" -eq 0 ] && want=$record || want="Error: cannot write \"$path\": ${reason:-Permission denied}"
    expect "$path: status, output, mode and owner" "$want_status $want $want_mode $want_owner" \
      "$status $out $(mode_owner "$path")"
  done <<'TABLE'
user path                mode owner       acl        attribute   status mode:after owner:after
0    new.md              -    -           -          -           0 644 0:0
0    kept.md             640  65534:65534 -          -           0 640 65534:65534
0    setid.md            6755 0:0         -          -           0 755 0:0
0    sg/root.md          644  0:0         -          -           0 644 0:0
1001 u/p.md              640  1001:2000   -          -           0 600 1001:1001
1001 u/ro.md             444  1001:1001   -          -           1 444 1001:1001
1001 u/wo.md             200  1001:1001   -          -           0 200 1001:1001
1001 u/wox.md            200  1001:1001   -          user.origin 1 200 1001:1001|attribute
1001 u/other.md          644  1003:1003   -          -           1 644 1003:1003
1001 outer/inner/new.md  -    -           -          -           0 644 1001:1001
1001 dropbox/new.md      -    -           -          -           0 644 1001:1001
# (a group that cannot be kept, whose members had less than others: they count as others now)
1001 u/deny.md           604  1001:2005   -          -           0 600 1001:1001
1002 shared/acl.md       444  1001:1001   u:1002:rw  user.origin 1 464 1001:1001|owner
1001/2000 shared/g.md    664  1003:2000   -          -           1 664 1003:2000|owner
TABLE

  # Folders where no name can be renamed or removed: refused before anything
  # is named there, so nothing stays; a new file in an append-only folder is
  # named at once where it is made unnamed. folder flag | file | status
  mkdir locked && echo previous >locked/old.md
  if chattr +a locked 2>/dev/null && chattr -a locked; then
    pending_openat locked/new.md && rm locked/new.md
    while read -r flag file; do
      chattr "+$flag" locked
      convert -- note.txt "locked/$file" ""
      chattr "-$flag" locked
      case $flag:$file:$unnamed in
      a:new.md:yes) want=$record ;;
      a:*) want="Error: cannot write \"locked/$file\": its folder is append-only: nothing in it can be renamed"
        want+=" or removed" ;;
      i:*) want="Error: cannot write \"locked/$file\": its folder is immutable: nothing in it can be created, renamed"
        want+=" or removed" ;;
      esac
      [ "$file" = old.md ] && want+=' (">" would write into the file in place)'
      expect "folder +$flag, $file" "$want 0" "$out $(leftovers)"
      rm -f locked/new.md
    done <<'TABLE'
a old.md
a new.md
i old.md
i new.md
TABLE
  else
    echo "this file system has no folder flags: the locked folders are left out"
  fi

  # An ACL and extended attributes go on to the new file as they were, but
  # a program's capabilities, which belong to the old content (listed first
  # here, so that what follows them must go on too).
  echo previous >acl.md && setfattr -n security.capability -v 0x0000000200200000000000000000000000000000 acl.md
  setfacl -m u:1005:rw,g::---,m::rw acl.md && setfattr -n user.origin -v exporter acl.md
  attributes=$(getfacl -cp acl.md; getfattr -d -m - acl.md | grep -v capability)
  convert -- note.txt acl.md ""
  expect "ACL and attributes kept" "$record $attributes" "$out $(getfacl -cp acl.md; getfattr -d -m - acl.md)"
  # A new file gets the folder's default ACL as from ">", no explicit mode.
  mkdir dacl && setfacl -d -m u:1005:rw,m::rw,o::- dacl
  cat note.txt >dacl/shell.md && cp -p note.txt dacl/plain.md && setfacl -b dacl/plain.md
  convert -- note.txt dacl/new.md ""
  expect "default ACL" "$(getfacl -cp dacl/shell.md | sed 1d)" "$(getfacl -cp dacl/new.md | sed 1d)"
  # A file without an ACL there stays without one when it is replaced.
  convert -- note.txt dacl/plain.md ""
  expect "no ACL kept" "$(getfacl -cp note.txt)" "$(getfacl -cp dacl/plain.md)"

  need strace
  # The new file has no ACL, so none is removed (a share may refuse that):
  # both go on. An attribute gone by the time it is read (ENODATA): the other
  # goes on. One that cannot be set: nothing is written. The fault | how many
  # of the two the file has after | the error, if any
  while read -r fault carried reason; do
    case $fault in \#*) continue ;; esac
    echo previous >acl.md
    setfacl -m u:1005:rw,g::---,m::rw acl.md && setfattr -n user.origin -v exporter acl.md
    convert strace -qq -o /dev/null -e "inject=$fault" -- note.txt acl.md ""
    want=$record
    # (the attribute it names is whichever the file system lists first)
    [ -n "$reason" ] && want="Error: cannot write \"acl.md\": cannot carry over the attribute: $reason"
    expect "attributes with $fault" "$want $carried" \
      "${out/attribute \"*\": /attribute: } $(getfattr -d -m - acl.md | grep -c =)"
  done <<'TABLE'
fremovexattr:error=EPERM       2
fgetxattr:error=ENODATA:when=1 1
# (gone between its size and its value: still passed over, not a failure)
fgetxattr:error=ENODATA:when=2 1
fsetxattr:error=EIO            2 Input/output error
TABLE
  # The ACL that a default one gave the new file must go, or the run stops.
  convert strace -qq -o /dev/null -e inject=fremovexattr:error=EPERM -- note.txt dacl/plain.md ""
  expect "an inherited ACL that cannot be removed" \
    "Error: cannot write \"dacl/plain.md\": cannot set its access control list: Operation not permitted" "$out"
  # An owner that cannot be kept stops the run: the file would become root's.
  echo previous >theirs.md && chown 65534:65534 theirs.md
  convert strace -qq -o /dev/null -e inject=fchown:error=EIO -- note.txt theirs.md ""
  expect "an owner that cannot be kept" \
    "Error: cannot write \"theirs.md\": cannot set its owner: Input/output error 65534:65534" \
    "$out $(file_stat %u:%g %u:%g theirs.md)"
  # A list of attributes that fails after its size came is no file system
  # without them: the file would lose them all.
  convert strace -qq -o /dev/null -e inject=flistxattr:error=EOPNOTSUPP:when=2 -- note.txt acl.md ""
  expect "the list of attributes fails after its size" \
    "Error: cannot write \"acl.md\": cannot read its extended attributes: Operation not supported 2" \
    "$out $(getfattr -d -m - acl.md | grep -c =)"
  # A new file that starts without its owner's write permission (umask 0277)
  # still takes the attributes, which need it (but from root).
  echo previous >u/own.md && chown 1001:1001 u/own.md && chmod 600 u/own.md && setfattr -n user.origin -v x u/own.md
  convert as_user 1001 sh -c 'umask 277 && exec "$0" "$@"' -- note.txt u/own.md ""
  expect "umask 0277" "$record 600 user.origin" \
    "$out $(file_stat %a %Lp u/own.md) $(getfattr -m - u/own.md | sed -n 2p)"
  # A file system without permission bits (FAT through FUSE) answers ENOSYS:
  # the new file stays as it is where that is no wider than the old one.
  # the old file's mode | the status, then the mode after
  while read -r mode want; do
    echo previous >fat.md && chmod "$mode" fat.md
    convert strace -qq -o /dev/null -e inject=fchmod:error=ENOSYS -- note.txt fat.md ""
    [ "${want%% *}" = 0 ] && printed=$record ||
      printed='Error: cannot write "fat.md": cannot set its permissions: Function not implemented'
    expect "no permission bits, old mode $mode" "$printed $want" "$out $status $(file_stat %a %Lp fat.md)"
  done <<'TABLE'
644 0 600
600 0 600
400 1 400
TABLE
}

# Links are followed as ">" follows them, but never planted ones, and never
# into a descriptor.
links() {
  ln -s sub/../made.md dangling.md && ln -s m short.md && mkdir sub
  convert -- note.txt dangling.md ""
  convert -- note.txt short.md ""
  expect "dangling links, one of one letter: their files are made, the links stay" "Title made.md Title" \
    "$(head -1 made.md) $(basename "$(readlink -f dangling.md)") $(head -1 m)"
  # As many links in a row as the kernel follows (40, on macOS 32), not one
  # more: c1 leads through them to c41 (or c33), c0 one further.
  local most=40 i
  [ "$(uname)" = Darwin ] && most=32
  for i in $(seq 0 "$most"); do ln -s "c$((i + 1))" "c$i"; done
  convert -- note.txt c1 ""
  expect "$most links in a row" "$record Title" "$out $(head -1 "c$((most + 1))")"
  ln -s b.md a.md && ln -s a.md b.md && ln -s nowhere/ slash.md && mkfifo fifo && echo precious >log.txt
  # A device of our own where one can be made: a broken build run as root must not replace /dev/null.
  cp -R /dev/null null 2>/dev/null || ln -s /dev/null null
  # A folder open as descriptor 3: /dev/fd/3 leads into it, and anywhere.
  exec 3<sub
  # path | printed after "cannot write PATH: "
  while IFS='|' read -r path reason; do
    [ -e /proc/self ] || [ "${path#/proc}" = "$path" ] || continue
    convert -- note.txt "$path" X >>log.txt
    expect "$path" "Error: cannot write \"$path\": $reason" "$out"
  done <<'TABLE'
a.md|Too many levels of symbolic links
c0|Too many levels of symbolic links
fifo|not a regular file
null|not a regular file
sub|Is a directory
new.md/|Is a directory
note.txt/|Not a directory
/dev/stdout|names an open descriptor, not a file
/proc/self/fd/1|names an open descriptor, not a file
/dev/fd/3/out.md|names an open descriptor, not a file
/proc/self/cwd/out.md|names an open descriptor, not a file
slash.md|Is a directory
TABLE
  exec 3<&-
  expect "a descriptor path leaves the file behind it alone" "precious 0" "$(cat log.txt) $(ls sub | count_lines)"
  # A file with two hard links: the name given is replaced, the other keeps
  # the old text (on macOS the volume's stored name may be the other link's).
  echo previous >one.md && ln one.md two.md
  convert -- note.txt two.md ""
  expect "the second of two hard links" "$record Title previous" "$out $(head -1 two.md) $(cat one.md)"
}

# The kernel's rules for shared sticky folders, whatever the system's setting.
sticky() {
  need root
  # A folder like /tmp, owned by 65534: links and files of the caller and
  # of the folder's owner are used, a third user's are not.
  mkdir st victim && chown 65534:2000 st
  # In any sticky folder a name is replaced only by the file's owner, the
  # folder's owner or root, though ">" may write into the file: "group" is a
  # file of 1003 in a folder of mode 1770 of group 2000. A writer "/ns" runs
  # in a user namespace that maps only itself: every other owner shows there
  # as one overflow ID. The victim's file and folder are the writer's.
  # owner of the link or file | what | writer uid:gid | expected reason, or - for success
  local sandbox=yes
  as_user 1002 unshare --user --map-current-user true 2>/dev/null || sandbox=no
  while IFS='|' read -r owner what writer reason; do
    case $owner in \#*) continue ;; esac
    rm -rf st/* && echo precious >victim/v.md && chmod 1777 st
    local namespace=${writer#*/} run
    writer=${writer%/*}
    run=(setpriv --reuid "${writer%:*}" --regid "${writer#*:}" --clear-groups)
    case $namespace in
    ns) run+=(unshare --user --map-current-user) ;;
    # (without /proc the namespace's map cannot be read)
    noproc) run+=(unshare --user --map-root-user --mount sh -c 'mount -t tmpfs none /proc && exec "$0" "$@"') ;;
    esac
    if [ "${#run[@]}" -gt 4 ] && [ "$sandbox" = no ]; then
      echo "no user namespace can be made here: the row of $what by $writer is left out"
      continue
    fi
    if [ "$namespace" = noproc ] && grep -q AddressSanitizer "$NOTE2MD"; then
      echo "a sanitizer build cannot run without /proc: the row of $what by $writer is left out" && continue
    fi
    chown "${writer%:*}" victim victim/v.md
    case $what in
    last) ln -s ../victim/v.md st/out.md && path=st/out.md ;;
    middle) ln -s ../victim st/dir && path=st/dir/v.md ;;
    file) echo precious >st/out.md && path=st/out.md && chmod 666 st/out.md ;;
    group) echo precious >st/out.md && path=st/out.md && chmod 664 st/out.md && chmod 1770 st ;;
    esac
    chown -h "$owner" st/*
    convert "${run[@]}" -- note.txt "$path" ""
    [ "$reason" = owner ] && reason='cannot replace a file that another user owns (">" would write into it in place)'
    [ "$reason" = - ] && want="$record Title" || want="Error: cannot write \"$path\": $reason precious"
    expect "sticky, $what of $owner by $writer" "$want" "$out $(head -1 "$path")"
  done <<'TABLE'
0:0|last|0:0|-
65534:65534|last|0:0|-
65533:65533|last|0:0|not following a symbolic link that another user owns in a shared sticky folder
65533:65533|middle|0:0|not following a symbolic link that another user owns in a shared sticky folder
65534:65534|file|0:0|-
65533:65533|file|0:0|not replacing a file that another user owns in a shared sticky folder
65534:65534|file|65533:65533|owner
1003:2000|group|65533:2000|owner
1003:2000|group|1003:2000|-
# (a link that a sandbox shows as the folder owner's, as both are unmapped)
65533:65533|last|1002:1002/ns|not following a symbolic link that another user owns in a shared sticky folder
# (the same where the sandbox hides /proc)
65533:65533|last|1002:1002/noproc|not following a symbolic link that another user owns in a shared sticky folder
# (the caller's own file in a sandbox, whose owner the namespace maps)
1002:1002|file|1002:1002/ns|-
TABLE
}

# The number of the openat call that makes the new file ($openat) for the
# output PATH (out.md if none) as it stands (new or existing), whether that
# file is unnamed ($unnamed: O_TMPFILE) or named, and the strace options that
# make it named ($named, none where it is).
pending_openat() {
  strace -qq -o trace.log -e trace=openat "$NOTE2MD" note.txt "${1:-out.md}" "" >/dev/null ||
    { echo "FAIL: the traced run failed"; exit 1; }
  local line
  line=$(grep -n -e O_TMPFILE -e '"\.note2md-' trace.log | grep -v '= -1 ' | head -1)
  openat=${line%%:*}
  case $line in *O_TMPFILE*) unnamed=yes ;; *) unnamed=no ;; esac
  named=()
  [ "$unnamed" = yes ] && named=(-e "inject=openat:error=EOPNOTSUPP:when=$openat")
}

# start_held [--at CALL[:when=N]] STRACE-OPTION... -- NOTE2MD-ARGUMENT...:
# starts a run (through $held_through, if set) whose first fsync, or CALL,
# then the only call traced, strace holds back for a second, and waits until
# it is held there (for fsync: until its new file is open). Sets $tracer and
# $pid; the run prints to held.out; a signal in $ignored is ignored.
start_held() {
  local hold=fsync:when=1 options=()
  [ "$1" = --at ] && hold=$2 && options=(-f --seccomp-bpf -e "trace=${2%%:*}") && shift 2
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  # A shell starts background commands with SIGINT and SIGQUIT ignored.
  env --default-signal ${ignored:+--ignore-signal="$ignored"} strace -qq -o /dev/null \
    -e "inject=$hold:delay_enter=1000000" ${options[@]+"${options[@]}"} ${held_through[@]+"${held_through[@]}"} \
    "$NOTE2MD" "$@" >held.out 2>&1 &
  tracer=$!
  for tries in $(seq 500); do
    pid=$(pgrep -P "$tracer") && if [ "$hold" = fsync:when=1 ]; then
      ls -l "/proc/$pid/fd" 2>/dev/null | grep -q -e '/\.note2md-' -e ' (deleted)$'
    else
      grep -q 'tracing stop' "/proc/$pid/status" 2>/dev/null
    fi && return 0
    sleep 0.01
  done
  echo "FAIL: the held run never got to $hold"
  exit 1
}

# A run ended by a signal while fsync is held back: nothing is left behind,
# the old file is untouched, the process ends by that signal.
signals() {
  need strace
  need pgrep procps
  echo previous >out.md
  pending_openat
  # signal | what makes the new text: unnamed (O_TMPFILE, where the program
  # makes one), or named (forced where it does); "ignored": named, and the
  # caller ignores the signal, so the run goes on | where the run is held:
  # at the flush of the new file, unless the row says
  while read -r signal kind at; do
    [ "$kind" = unnamed ] && [ "$unnamed" = no ] && continue
    case $signal in \#*) continue ;; esac
    echo previous >out.md
    local inject=() ignored="" number text=previous
    [ "$kind" != unnamed ] && inject=(${named[@]+"${named[@]}"})
    [ "$kind" = ignored ] && ignored=$signal && text="# Title"
    case $at in
    # The call that gives the new file its auxiliary name: an unnamed file's
    # at the commit, which then goes on to the end; a named one's as it is made.
    naming) [ "$unnamed" = yes ] && inject=(--at linkat:when=1) text="# Title" || inject=(--at "openat:when=$openat") ;;
    rename) inject=(--at renameat) text="# Title" ;;
    esac
    start_held ${inject[@]+"${inject[@]}"} -- note.txt out.md HSAXL
    kill "-$signal" "$pid"
    wait "$tracer" 2>/dev/null
    status=$?
    # (32 and 33, which the C library keeps for itself, have no names)
    case $signal in [0-9]*) number=$signal ;; *) number=$(kill -l "$signal") ;; esac
    want="$((128 + number)) $text 0"
    [ "$kind" = ignored ] && want="0 $text 0"
    expect "$signal, $kind${at:+ at $at}: ended by it (or not), its text, nothing left" "$want" \
      "$status $(head -1 out.md) $(leftovers)"
  done <<'TABLE'
KILL unnamed
TERM unnamed
TERM named
INT named
HUP named
32 named
33 named
HUP ignored
# (a signal not held while the auxiliary name is made and registered leaves it;
# XCPU, which a mask shifted by one or two bits lets through)
XCPU built naming
# (the README's promise: a signal at the rename finds the new text in place)
TERM built rename
TABLE
}

# Two runs that write the same new file at once, as "xargs -P" starts them
# for two notes of one name: the one that comes second replaces the other's
# file where ">" could, else it refuses as for any existing file.
races() {
  need root
  need strace
  need pgrep procps
  printf 'Other\n' >other.txt && mkdir st && chmod 1777 st && chown 65534:65534 st
  # who comes second | the path | what they put there (their run, or a link
  # to other.txt) | the held run's error (- for the record) | the text after
  local rows='0|new.md|run|-|Title
65533|st/new.md|run|not replacing a file that another user owns in a shared sticky folder|Other
0|linked.md|link|a symbolic link took its place while it was being written (not followed)|Other'
  # Each row as built; with a named file, renamed only where the name is free
  # (macOS); and so on a file system that cannot rename so (renameat2: EINVAL).
  local options=() kind
  for kind in built named fallback; do
    while IFS='|' read -r user path what reason text; do
      rm -f "$path"
      if [ "$kind" != built ]; then
        pending_openat "$path"
        rm "$path"
        [ "$kind" = named ] && [ "$unnamed" = no ] && continue
        options=(${named[@]+"${named[@]}"})
        [ "$kind" = fallback ] && options+=(-e inject=renameat2:error=EINVAL)
      fi
      start_held ${options[@]+"${options[@]}"} -- note.txt "$path" ""
      case $what in
      run) as_user "$user" "$NOTE2MD" other.txt "$path" "" >/dev/null ;;
      link) as_user "$user" ln -s "$PWD/other.txt" "$path" ;;
      esac
      wait "$tracer"
      status=$?
      [ "$reason" = - ] && want="0 $record" || want="1 Error: cannot write \"$path\": $reason"
      expect "$path, then $what by $user ($kind)" "$want $text 0" \
        "$status $(cat held.out) $(head -1 "$path") $(leftovers)"
    done <<<"$rows"
  done
  # The file the rules allowed is held to the commit: what took its place meanwhile (the run held at its access
  # check) is looked at anew, never taken for it, even with the old one's number; where nothing did (FUSE replaces
  # a name in two steps), the file is new. What is put in place of root's file | the reason (- for the record) |
  # what the path holds then
  while IFS='|' read -r what reason text; do
    echo previous >st/held.md
    start_held --at faccessat2 -- note.txt st/held.md ""
    rm st/held.md
    case $what in
    file) as_user 1001 sh -c 'umask 0 && echo Other >st/held.md' ;;
    fifo) mkfifo st/held.md ;;
    link) ln -s ../other.txt st/held.md ;;
    folder) mkdir st/held.md && echo Other >st/held.md/x ;;
    esac
    wait "$tracer"
    status=$?
    [ "$reason" = - ] && want="0 $record" || want="1 Error: cannot write \"st/held.md\": $reason"
    # (a FIFO is never read: that would wait for a writer)
    [ -p st/held.md ] && held=fifo || held=$(cat st/held.md/x st/held.md 2>/dev/null | head -1)
    expect "$what put in place of the file while held" "$want $text 0" "$status $(cat held.out) $held $(leftovers)"
    rm -rf st/held.md
  done <<'TABLE'
nothing|-|Title
file|not replacing a file that another user owns in a shared sticky folder|Other
fifo|not a regular file|fifo
link|a symbolic link took its place while it was being written (not followed)|Other
folder|Is a directory|Other
TABLE

  # A private file that parallel runs replace keeps its owner, mode, ACL and
  # attributes, whichever run comes last. One run alone meets the same when
  # its file seems gone while its attributes are read (flistxattr: ENOENT).
  local round i kept
  kept=$(private_file && getfacl -cp private.md && getfattr -d private.md && mode_owner private.md)
  convert strace -qq -o /dev/null -e inject=flistxattr:error=ENOENT:when=1 -- note.txt private.md H
  expect "a private file seemingly gone while read" "$record $kept" \
    "$out $(getfacl -cp private.md; getfattr -d private.md; mode_owner private.md)"
  local changed=0
  for round in $(seq 20); do
    private_file
    for i in 1 2 3 4 5 6; do "$NOTE2MD" note.txt private.md H >/dev/null & done
    wait
    [ "$(getfacl -cp private.md; getfattr -d private.md; mode_owner private.md)" = "$kept" ] || changed=$((changed + 1))
  done
  expect "six runs at once over a private file, 20 rounds: changed, left" "0 0" "$changed $(leftovers)"

  # An auxiliary file that another user moves away and replaces with one of
  # theirs, in a folder where they may write, is not put in place: that file
  # is theirs (here made named, and moved while the run is held at its flush).
  mkdir -m 777 pub && echo previous >pub/out.md
  pending_openat pub/out.md
  echo previous >pub/out.md
  start_held ${named[@]+"${named[@]}"} -- note.txt pub/out.md ""
  as_user 1003 sh -c 'cd pub && a=$(ls -A | grep "^\.note2md-") && mv "$a" moved && echo Planted >"$a"'
  wait "$tracer"
  expect "an auxiliary file taken away" \
    "1 Error: cannot write \"pub/out.md\": another program took its auxiliary file meanwhile previous" \
    "$? $(cat held.out) $(cat pub/out.md)"
  rm -rf pub

  # A write lease (a file server's oplock) is broken as for ">": the run
  # waits until its holder gives it up, then writes.
  if [ "$(uname)" = Linux ]; then
    echo previous >leased.md
    perl -e 'open(my $f, ">>", $ARGV[0]) or die; $SIG{IO} = sub { fcntl($f, 1024, 2); exit 0 };
      fcntl($f, 1024, 1) or die "F_SETLEASE: $!"; print "held\n"; $| = 1; sleep 20' leased.md >lease.out &
    for i in $(seq 500); do grep -q held lease.out && break; sleep 0.01; done
    convert -- note.txt leased.md ""
    wait
    expect "a leased file" "$record Title" "$out $(head -1 leased.md)"
  fi
}

# private.md, as another user keeps a file.
private_file() {
  echo previous >private.md && chown 65534:65534 private.md && chmod 600 private.md &&
    setfacl -m u:65534:r private.md && setfattr -n user.keep -v yes private.md
}

# The new name reaches the disk: the folder is flushed after the rename, or
# its whole file system where the folder cannot be read.
durability() {
  need strace
  pending_openat
  echo previous >out.md
  strace -qq -o trace.log -e trace=linkat,renameat,openat,fsync,syncfs "$NOTE2MD" note.txt out.md "" >/dev/null
  # An unnamed file first takes an auxiliary name, for the rename.
  [ "$unnamed" = yes ] && steps="fsync linkat renameat folder fsync" || steps="fsync renameat folder fsync"
  expect "order of the steps" "$steps" \
    "$(sed -n -E 's/^(fsync|linkat|renameat|syncfs)\(.*/\1/p; s/^openat.*O_RDONLY\|O_CLOEXEC\|O_DIRECTORY.*/folder/p' \
      trace.log | tr '\n' ' ' | sed 's/ $//')"
  # The first fsync is the file's, the second the folder's.
  while read -r error when want_status; do
    echo previous >out.md
    convert strace -qq -o /dev/null -e "inject=fsync:error=$error:when=$when" -- note.txt out.md H
    want=$record && [ "$error" = EIO ] &&
      want="Error: cannot write \"out.md\": the new file is in place, but its folder could not be flushed to disk:"\
" Input/output error"
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
  # Line feed, escape, U+2028, U+0085, U+2029, DEL and a byte that is not UTF-8 in the name of a note that is not
  # there: this row checks the escaping. Linux says "No such file or directory"; APFS documents only that it refuses
  # such a name when a file is made (the macos section checks that), so there the reason is not compared.
  convert -- $'\n\x1Ba\xE2\x80\xA8b\xC2\x85c\xE2\x80\xA9d\x7F\xFF"\\e\xC2\x9F \xC3\xA9.txt' out.md ""
  [ "$(uname)" = Darwin ] && out="${out%: *}: No such file or directory"
  expect "escaped path" \
    "Error: cannot read \"\\n\\x1Ba\\u2028b\\u0085c\\u2029d\\x7F\\xFF\\\"\\\\e\\u009F é.txt\":"\
" No such file or directory" \
    "$out"
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
  echo previous >out.md
  strace -qq -o trace.log "$NOTE2MD" note.txt out.md H >/dev/null
  for call in read openat newfstatat fstatfs faccessat2 fchmod flistxattr fgetxattr fremovexattr getrandom write fsync \
    linkat renameat; do
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
  # Some steps fail with their own reason (where this build makes the call):
  # the call; the line of the trace above that it fails on; the error; what
  # the error line says of it.
  while IFS=';' read -r call line error reason; do
    case $call in \#*) continue ;; esac
    when=$(grep "^$call(" trace.log | grep -n -m1 -E "$line" | cut -d: -f1)
    [ -n "$when" ] || continue
    echo previous >out.md
    convert strace -qq -o /dev/null -e "inject=$call:error=$error:when=$when" -- note.txt out.md ""
    expect "$call fails with $error on $line" "Error: cannot write \"out.md\": $reason previous" "$out $(cat out.md)"
  done <<'TABLE'
openat;O_TMPFILE|"\.note2md-;EACCES;cannot create a file in its folder: Permission denied
newfstatat;"out\.md";EIO;Input/output error
# (the held file opened again for its attributes: a failure must not leave another descriptor in its place)
openat;/proc/self/fd/;EIO;cannot read its attributes: Input/output error
TABLE
  # A write that a signal interrupts goes on: the record is printed, the
  # file holds the whole text (a short file must never pass for written).
  for call in writev write; do
    echo previous >out.md
    convert strace -qq -o /dev/null -e "inject=$call:error=EINTR:when=1" -- note.txt out.md H
    expect "$call interrupted" "$record|# Title||body|" "$out|$(tr '\n' '|' <out.md)"
  done
  # An auxiliary name that is taken already is given up for another (where
  # the program makes named files; strace fails one call once only).
  pending_openat
  if [ "$unnamed" = no ]; then
    convert strace -qq -o /dev/null -e "inject=openat:error=EEXIST:when=$openat" -- note.txt out.md ""
    expect "a taken auxiliary name" "$record Title 0" "$out $(head -1 out.md) $(leftovers)"
  else
    # An unnamed file that cannot be linked as a new file says why.
    convert strace -qq -o /dev/null -e inject=linkat:error=EIO -- note.txt new.md ""
    expect "linking a new file fails" "Error: cannot write \"new.md\": Input/output error" "$out"
  fi
  # An auxiliary file that cannot be removed is named in the error line (a
  # named file, where the program makes unnamed ones).
  convert strace -qq -o /dev/null ${named[@]+"${named[@]}"} -e inject=fsync:error=EIO:when=1 \
    -e inject=unlinkat:error=EPERM \
    -- note.txt out.md ""
  left=$(find . -name '.note2md-*' | sed 's|^\./||')
  expect "an auxiliary file left" \
    "Error: cannot write \"out.md\": Input/output error; its auxiliary file \"$left\" could not be removed:\
 Operation not permitted 1" \
    "$out $(leftovers)"
  rm -f .note2md-*
  # A file system that replaces a name in two steps (smbfs: remove, then
  # rename) may fail in between, the old file gone: the new text is the only
  # one left, and goes in place as a new file, or stays where it is, named.
  # Here the rename fails while the run is held at it, and the file goes.
  need pgrep procps
  for fallback in works fails; do
    echo previous >out.md
    local fault=()
    [ "$fallback" = fails ] && fault=(-e trace=renameat,renameat2 -e inject=renameat2:error=EIO)
    start_held --at renameat:error=EIO ${fault[@]+"${fault[@]}"} -- note.txt out.md H
    rm out.md
    wait "$tracer"
    status=$?
    left=$(find . -name '.note2md-*' | sed 's|^\./||')
    want="0 $record # Title 0"
    [ "$fallback" = fails ] && want="1 Error: cannot write \"out.md\": Input/output error; the old file is gone, and \
the new text is kept in \"$left\" # Title 1"
    expect "a rename that fails with the old file gone, then a new name $fallback" "$want" \
      "$status $(cat held.out) $(head -1 "${left:-out.md}") $(leftovers)"
    rm -f .note2md-*
  done
}

# Where people export to: FAT on a USB stick, here through FUSE, which has no
# permission bits, no unnamed files and no exclusive rename; and a system
# without /proc (a chroot, a bare container), where an unnamed file is named
# by its descriptor alone.
filesystems() {
  need root
  if ! unshare --mount true 2>/dev/null; then
    echo "no mount namespace can be made here: the runs without /proc are left out"
  elif grep -q AddressSanitizer "$NOTE2MD"; then
    # its options and its leak check need /proc
    echo "a sanitizer build cannot run without /proc: those runs are left out"
  else
    mkdir np && chown 1001 np
    # user | the output | its mode beforehand (- for none) | a fault: linking
    # a descriptor refused, as before Linux 6.10 for all but root | its mode after
    while read -r user path mode fault after; do
      case $user in \#*) continue ;; esac
      [ "$mode" = - ] || { echo previous >"$path" && chown "$user" "$path" && chmod "$mode" "$path"; }
      local run=(setpriv --reuid "$user" --regid "$user" --clear-groups)
      if [ "$fault" != - ]; then
        command -v strace >/dev/null || continue
        run=(strace -qq -o /dev/null -e "inject=$fault" "${run[@]}")
      fi
      convert unshare --mount --propagation private sh -c 'umount -l /proc && exec "$0" "$@"' "${run[@]}" \
        -- note.txt "$path" H
      expect "without /proc: $path as $user" "$record # Title 0 $after" \
        "$out $(head -1 "$path") $(leftovers) $(file_stat %a %Lp "$path")"
    done <<'TABLE'
0    np/new.md  -   -                          644
0    np/old.md  644 -                          644
1001 np/wo.md   200 -                          200
# (no unnamed file can ever be named: one named try follows, not tries without end)
1001 np/late.md -   linkat:error=ENOENT:when=2+ 644
TABLE
    # The name taken while the run writes a new file, and then no naming
    # (linkat #4: its unnamed file, given an auxiliary name for the rename):
    # the text that goes through a named file carries what the file that
    # took the name hands on, not what a try that saw no file had.
    if command -v strace >/dev/null && command -v pgrep >/dev/null; then
      local held_through=(unshare --mount --propagation private sh -c 'umount -l /proc && exec "$0" "$@"')
      start_held -e inject=linkat:error=ENOENT:when=4 -- note.txt np/taken.md H
      echo previous >np/taken.md && chown 1001:1001 np/taken.md && chmod 640 np/taken.md
      wait "$tracer"
      expect "without /proc: a name taken meanwhile, then no naming" "0 $record # Title 0 640 1001:1001" \
        "$? $(cat held.out) $(head -1 np/taken.md) $(leftovers) $(mode_owner np/taken.md)"
    fi
  fi
  # On FUSE, a file that only an O_PATH descriptor holds is freed when its
  # name goes, and ext4 hands its number to the next file: the old file stays
  # open until the commit, so that another user's file made meanwhile is not
  # taken for it (here on bindfs over a small ext4, where the number comes
  # back at once). Run by 1002 over its own file, held at its flush.
  truncate -s 32M ext.img && mkfs.ext4 -q ext.img && mkdir ext bind
  if ! command -v bindfs >/dev/null || ! mount -o loop ext.img ext 2>/dev/null; then
    echo "no bindfs, or no loop device to mount ext4 on: the run over a number given again is left out"
  else
    chmod 777 ext && bindfs ext bind && trap 'umount bind; umount -l ext; cleanup' EXIT
    echo previous >bind/out.md && chown 1002:1002 bind/out.md
    local held_through=(setpriv --reuid 1002 --regid 1002 --clear-groups)
    start_held -- note.txt bind/out.md H
    rm bind/out.md && as_user 1003 sh -c 'umask 0 && echo Other >bind/out.md'
    wait "$tracer"
    expect "FUSE: another user's file made while the old one is held" "1 Error: cannot write \"bind/out.md\":\
 cannot replace a file that another user owns (\">\" would write into it in place) Other" \
      "$? $(cat held.out) $(cat bind/out.md)"
    # (lazily: bindfs may still hold ext4 for a moment after its own unmount)
    umount bind && umount -l ext && trap cleanup EXIT
  fi
  need fusefat fusefat
  need mkfs.vfat dosfstools
  truncate -s 16M fat.img && mkfs.vfat fat.img >/dev/null && mkdir fat
  fusefat -o rw+ fat.img fat >/dev/null 2>&1 || { echo "SKIP: cannot mount a FAT image through FUSE here"; exit 77; }
  trap 'umount fat; cleanup' EXIT
  echo previous >fat/old.md && cp note.txt fat/self.txt
  # the note | the output | what its first line is after
  while read -r note path text; do
    convert -- "$note" "$path" H
    expect "FAT: $note into $path" "$record $text 0" "$out $(head -1 "$path") $(leftovers)"
  done <<'TABLE'
note.txt      fat/new.md   # Title
note.txt      fat/old.md   # Title
fat/self.txt  fat/self.txt # Title
TABLE
  # Six runs at once write one name, new and then existing: FAT replaces a
  # name in two steps, so a run may find it gone after it saw it.
  local round i failed=0
  for round in $(seq 20); do
    rm -f fat/par.md
    [ "$round" -gt 10 ] && echo previous >fat/par.md
    for i in 1 2 3 4 5 6; do
      "$NOTE2MD" note.txt fat/par.md H >"par.$i" || echo "$round: $(cat "par.$i")" >>par.failed &
    done
    wait
  done
  [ -f par.failed ] && failed=$(count_lines <par.failed) && head -3 par.failed
  expect "FAT: 120 parallel runs, failed and left" "0 0" "$failed $(leftovers)"
}

# What only macOS has, which its hosted jobs run: its own ACLs, attributes
# that the system manages, Finder's flags and dates, volumes that ignore case.
macos() {
  [ "$(uname)" = Darwin ] || { echo "SKIP: macOS only (the hosted macOS jobs run it)"; exit 77; }
  # Exactly the old file's ACL: none of the folder's inheritable entries.
  mkdir inherit && chmod +a "group:everyone allow read,file_inherit" inherit
  echo previous >inherit/plain.md && chmod -N inherit/plain.md
  echo previous >inherit/own.md && chmod -N inherit/own.md && chmod +a "user:nobody deny write" inherit/own.md
  for name in plain own; do
    local before
    before=$(ls -le "inherit/$name.md" | sed 1d)
    convert -- note.txt "inherit/$name.md" ""
    expect "ACL of $name.md" "$record $before" "$out $(ls -le "inherit/$name.md" | sed 1d)"
  done
  # Attributes go on, but not those of the old content or of the system,
  # nor what Apple's safe save drops (the old text's encoding); the hidden
  # flag and the creation date stay.
  echo previous >kept.md && xattr -w com.example.tag blue kept.md && xattr -w com.apple.quarantine '0081;0;x;' kept.md
  xattr -w com.apple.TextEncoding 'MACINTOSH;0' kept.md
  chflags hidden kept.md && touch -t 202001020304 kept.md
  local born
  born=$(stat -f %B kept.md)
  convert -- note.txt kept.md ""
  expect "attributes, flag and date" "$record blue none none hidden $born" \
    "$out $(xattr -p com.example.tag kept.md) $(xattr -p com.apple.quarantine kept.md 2>/dev/null || echo none) \
$(xattr -p com.apple.TextEncoding kept.md 2>/dev/null || echo none) $(stat -f %Sf kept.md) $(stat -f %B kept.md)"
  # APFS refuses a name that is not UTF-8 when a file is made.
  convert -- note.txt $'bad\xFF.md' ""
  expect "a name that is not UTF-8" "Error: cannot write \"bad\\xFF.md\": Illegal byte sequence 0" "$out $(leftovers)"
  # flistxattr needs read permission here: a file its owner may write but
  # not read is refused, as its attributes would be lost (root reads any).
  if [ "$(id -u)" -ne 0 ]; then
    echo previous >wo.md && chmod 200 wo.md
    convert -- note.txt wo.md ""
    expect "a write-only file" \
      "Error: cannot write \"wo.md\": cannot read its extended attributes: Permission denied" "$out"
  fi
  # The name as the volume stores it, where it ignores case.
  echo previous >case.md
  if [ -e CASE.md ]; then
    convert -- note.txt Case.md ""
    expect "a name that differs in case only" "$record case.md" "$out $(ls | grep -i '^case\.md$')"
  else
    echo "this volume tells case apart: the name's case is not tried"
  fi
}

main() {
  "$1"
  finish
}
main "$@"
