#!/usr/bin/env bash
# What the README and the man page show, run: each error line they show is
# what a run in that situation prints, each command shown with its output
# prints it, and each example of the man page does what it says. A wording
# changed in the program, or in a document only, fails here.
. "$(dirname "$0")/lib.sh"
root=$(cd "$here/../.." && pwd)
readme=$root/README.md
manpage=$root/doc/note2md.1.in
PATH=$scratch/bin:$PATH
cp -R "$root/examples" examples

# The literal blocks of the man page's section $1, roff's escapes undone,
# each block ended by a line "--".
man_blocks() {
  awk -v section="$1" '/^\.Sh / { here = ($2 == section) } here && /^\.Bd -literal/ { block = 1; next }
    block && /^\.Ed/ { block = 0; print "--"; next } block' "$manpage" | sed -e 's/\\e/\\/g' -e 's/\\(dq/"/g'
}

# Every error line shown: the README's as they stand, the man page's with
# their continuation lines (indented) joined.
{
  sed -n 's/^    \(Error: .*\)/\1/p' "$readme"
  man_blocks DIAGNOSTICS | awk '/^Error: / { if (line != "") print line; line = $0; next }
    /^ / && line != "" { sub(/^ +/, ""); line = line " " $0; next } { if (line != "") print line; line = "" }'
} | sort -u >shown.txt

# run_as UID COMMAND...: as that user where the test is root, else as itself.
run_as() {
  local id=$1 && shift
  if [ "$(id -u)" -eq 0 ]; then as_user "$id" "$@"; else "$@"; fi
}

# situation PATH: makes the situation that the error line of PATH shows and
# sets $out to what the run prints; sets $why and fails where it cannot be
# made here.
situation() {
  case $1 in
  notes/a.txt) mkdir -p notes && out=$(note2md notes/a.txt out.md H) ;;
  # byte 12 is not UTF-8
  notes/b.txt) mkdir -p notes && printf 'Weekend plan\377\n' >notes/b.txt && out=$(note2md notes/b.txt out.md H) ;;
  out/a.md)
    mkdir out && echo previous >out/a.md && chmod 444 out/a.md && chown -R "$(run_as 1001 id -u)" out
    out=$(run_as 1001 note2md note.txt out/a.md H)
    ;;
  ro/a.md)
    mkdir ro && chown "$(run_as 1001 id -u)" ro && chmod 555 ro
    out=$(run_as 1001 note2md note.txt ro/a.md H)
    ;;
  shared/c.md)
    [ "$(id -u)" -eq 0 ] || { why="only root can make another user's file"; return 1; }
    mkdir shared && echo previous >shared/c.md && chown 1002:2000 shared/c.md && chmod 664 shared/c.md
    out=$(setpriv --reuid 1001 --regid 1001 --groups 2000 note2md note.txt shared/c.md H)
    ;;
  /tmp/b.md)
    # /tmp of a mount namespace of its own, with another user's file in it
    [ "$(id -u)" -eq 0 ] && unshare --mount true 2>/dev/null || { why="no mount namespace here"; return 1; }
    # (the binary by a path from here: the scratch folder may lie in /tmp)
    out=$(unshare --mount --propagation private sh -c 'mount -t tmpfs tmpfs /tmp && echo previous >/tmp/b.md &&
      chown 1002 /tmp/b.md && chmod 666 /tmp/b.md && exec ../bin/note2md note.txt /tmp/b.md H')
    ;;
  ap/c.md)
    mkdir ap && echo previous >ap/c.md
    chattr +a ap 2>/dev/null || { why="no append-only folder can be made here"; return 1; }
    out=$(note2md note.txt ap/c.md H)
    chattr -a ap
    ;;
  *)
    why="no situation is known that makes it"
    return 1
    ;;
  esac
  return 0
}

while IFS= read -r line; do
  path=${line#*\"} && path=${path%%\": *} && why=""
  if situation "$path"; then
    expect "the error line shown for $path" "$line" "$out"
  elif [ "$(id -u)" -eq 0 ] && [ "$(uname)" = Linux ] && [ "$path" != "ap/c.md" ]; then
    expect "an error line shown: $line" "made here" "$why"
  else
    echo "not made here ($why): $line"
  fi
done <shown.txt
expect "error lines shown, in all" yes "$([ "$(count_lines <shown.txt)" -ge 7 ] && echo yes)"

# The README's command ("$ " and the command) prints the line shown under it,
# run in a folder that holds examples/.
command=$(sed -n 's/^    \$ //p' "$readme") && shown=$(sed -n '/^    \$ /{n;s/^    //p;}' "$readme")
ok "the README shows a command" [ -n "$command" ]
expect "README: \$ $command" "$shown" "$(eval "$command")"

# The man page's examples, in their order, each where it makes sense.
man_blocks EXAMPLES | awk 'BEGIN { n = 0 } /^--$/ { n++; next } { print > ("example" n ".txt") }'
mkdir -p notes && cp examples/weekend-plans.txt notes/ && cp examples/weekend-plans.txt "Weekend plans.txt"
# 0: a conversion, which prints the record that THE METADATA RECORD shows
out=$(sh -c "$(sed 's/^\$ //' example0.txt)")
expect "man: the first example and its record" "$(man_blocks 'THE' | sed '/^--$/d') $(cat examples/weekend-plans.md)" \
  "$out $(cat "Weekend plans.md")"
# 1: a shell script that takes the created date from the record
expect "man: the created date from the record" "5 March 2026 at 09:12" \
  "$(note=notes/weekend-plans.txt sh -c "$(cat example1.txt)"'
printf "%s\n" "$created"')"
# 2: the macOS scripting language
if command -v osascript >/dev/null; then
  script=(-e "set notePath to \"$PWD/notes/weekend-plans.txt\"" -e "set mdPath to \"$PWD/out.md\"")
  while IFS= read -r line; do script+=(-e "$line"); done < <(sed "s|/usr/local/bin/note2md|$NOTE2MD|" example2.txt)
  expect "man: the record read by the macOS scripting language" "home, garden" "$(osascript "${script[@]}")"
else
  echo "not run here: the example of the macOS scripting language (no osascript)"
fi
# 3: a folder of notes, four at a time, each path with its record
rm -f notes/* && cp examples/*.txt notes/
sh example3.txt
while IFS="$(printf '\t')" read -r note record; do
  expect "man: a folder of notes, $note" "$(note2md "$note" alone.md HSAXL)" "$record"
done <records.tsv
expect "man: a folder of notes, a record each" "$(ls notes/*.txt | count_lines)" "$(count_lines <records.tsv)"
finish
