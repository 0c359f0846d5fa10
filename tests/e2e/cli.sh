#!/usr/bin/env bash
# The command line, end to end: the usage text, the option letters and the
# order of the rewritings, notes that cannot be read, a write that fails,
# and the record.
. "$(dirname "$0")/lib.sh"

# Any other argument count: the usage text after the name the program was
# started by, status 1, nothing written.
usage=$(cat "$here/usage.txt")
for arguments in "" "note.txt out.md" "note.txt out.md H extra"; do
  # shellcheck disable=SC2086 # the words are the arguments
  convert -- $arguments
  expect "usage for ($arguments)" "1:Usage: $NOTE2MD$usage" "$status:$out"
done
out=$(bash -c 'exec -a "weird name" "$0" note.txt' "$NOTE2MD")
expect "usage for another name" "Usage: weird name$usage" "$out"
expect "nothing written" note.txt "$(ls)"

# Each letter, in any case, asks for its rewriting; each runs once, always
# in the order H, S, A, X, L. Upper-casing may make a character three times
# as long (U+0390).
printf 'Title\n\nl1\nl2 \342\230\220 xatch:///Attachments/a.png http://x.org/\n' >note.txt
printf '\n\nSection\n\n\342\230\222 done\n' >>note.txt
for letters in "" H S A X L; do convert -- note.txt "by$letters.md" "$letters"; done
for letter in H S A X L; do
  expect "$letter changes this note" yes "$(cmp -s by.md "by$letter.md" || echo yes)"
done
while read -r letters same; do
  convert -- note.txt out.md "$letters"
  expect "\"$letters\" asks for what \"$same\" does" "$(cat "by$same.md")" "$(cat out.md)"
done <<'TABLE'
h H
HH H
HZ9 H
ß S
a A
-x X
l L
ΐΐh H
Z9? 
TABLE
cp note.txt chained.md
for letter in H S A X L; do convert -- chained.md chained.md "$letter"; done
cp note.txt swapped.md
for letter in H A S X L; do convert -- swapped.md swapped.md "$letter"; done
expect "the order matters for this note" yes "$(cmp -s chained.md swapped.md || echo yes)"
for letters in HSAXL hsaxl LXASH xlhas LLXXAASSHH; do
  convert -- note.txt out.md "$letters"
  expect "\"$letters\" runs H, S, A, X, L once each" "$(cat chained.md)" "$(cat out.md)"
done

# A note that cannot be read: one error line, status 1, nothing written.
# Past the largest note (1 GiB): a file is refused before it is read, a
# stream that never ends one byte after.
printf 'caf\xE9\n' >latin1.txt && mkdir folder && rm -f out.md
dd if=/dev/zero of=huge.txt bs=1 count=0 seek=$(((1 << 30) + 1)) 2>/dev/null
# At the limit exactly a note is read, here to its last byte, which is bad.
dd if=/dev/zero of=edge.txt bs=1 count=0 seek=$(((1 << 30) - 1)) 2>/dev/null && printf '\377' >>edge.txt
while IFS='|' read -r note reason; do
  convert -- "$note" out.md HSAXL
  expect "$note" "1:Error: cannot read \"$note\": $reason" "$status:$out"
done <<'TABLE'
absent.txt|No such file or directory
folder|Is a directory
latin1.txt|not valid UTF-8 text (ill-formed byte sequence at byte offset 3)
huge.txt|File too large
edge.txt|not valid UTF-8 text (ill-formed byte sequence at byte offset 1073741823)
/dev/zero|File too large
TABLE
expect "no output after a failed read" no "$([ -e out.md ] && echo yes || echo no)"

# A write that fails half way, as on a full disk: the old file stays.
head -c 100000 /dev/zero | tr '\0' x >big.txt && echo previous >out.md
convert bash -c 'ulimit -f 4 && exec "$0" "$@"' -- big.txt out.md ""
expect "a failed write" "1:Error: cannot write \"out.md\": File too large" "$status:$out"
expect "a failed write: the old text stays" previous "$(cat out.md)"
expect "a failed write: nothing left" 0 "$(leftovers)"

# The output may be the input; the note is read whole first.
printf '\xFF\xFEo\0k\0' >self.txt
convert -- self.txt self.txt ""
expect "output over input" "0:ok" "$status:$(cat self.txt)"

# A record that cannot be printed is a failure, though the file is written.
printf 'Title\n' >note.txt
"$NOTE2MD" note.txt closed.md "" >&-
expect "standard output closed" "1:Title" "$?:$(cat closed.md)"
# So is a record cut short: standard output a file that may grow to 1024
# bytes, the record's line as long, which leaves out its line feed.
printf '%s\n\nTag(s): ' "$(printf 'n%.0s' $(seq 100))" >cut.txt && cp cut.txt tag.txt && echo x >>tag.txt
length=$("$NOTE2MD" tag.txt cut.md "" | awk '{ print length($0) }')
awk -v n=$((1024 - length + 1)) 'BEGIN { while (n-- > 0) printf "x"; print "" }' >>cut.txt
bash -c 'ulimit -f 1 && exec "$0" "$@" >cut.out' "$NOTE2MD" cut.txt cut.md ""
expect "a record cut short" "1 1024" "$? $(wc -c <cut.out | tr -d ' ')"

# A short note is named after the last "/" of the program's path and on.
while IFS='|' read -r program name; do
  out=$(bash -c 'exec -a "$1" "$0" note.txt out.md H' "$NOTE2MD" "$(printf "$program")")
  expect "named after $program" "{tagList:{}, createdDate:\"\", updatedDate:\"\", name:\"$name\"}" "$out"
done <<'TABLE'
tools/conv "1".x|/conv \"1\".x
tools/line\nbreak|/line\nbreak
note2md|
TABLE
finish
