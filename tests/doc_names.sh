#!/usr/bin/env bash
# Every file and every name of the code that the documents and the comments
# of src/ give in backticks exists, so that neither keeps a name the code has
# dropped or a tool the project does not have.
# Written for the bash of macOS (3.2) and BSD commands.
. "$(dirname "$0")/harness.sh"
cd "$(dirname "$0")/.." || exit 1
code="src tests bench scripts cmake packaging CMakeLists.txt .github .ci"

for from in README.md doc/*.md $(find src -name '*.[ch]pp'); do
  # its backticked words; of a source only those of its comments, which do
  # not count for themselves
  own=0 && words=$(cat "$from")
  case $from in src/*) own=1 && words=$(grep -h '^ *//' "$from") ;; esac
  while IFS= read -r name; do
    case $name in
    # a placeholder in capitals (OUT.md), paths on the user's system,
    # addresses and patterns, build output, system calls
    [A-Z][A-Z]*.* | [A-Z][A-Z]*/* | /* | ~* | *:* | *XXXX* | build* | dist/* | *'*'* | share/* | bin/* | *'('*) ;;
    .note2md-* | @* | install_manifest*) ;;
    # a file: from the root, beside the document, under src/, or anywhere by its name
    */* | *.cpp | *.hpp | *.sh | *.cmake | *.py | *.rb | *.yml | *.in)
      ok "$from: the file $name" [ -e "${name%/}" -o -e "$(dirname "$from")/$name" -o -e "src/$name" -o \
        -n "$(find . -path ./.git -prune -o -path './build*' -prune -o -name "$(basename "$name")" -print)" ]
      ;;
    # a name of the code: camelCase, a scope, an option of the build
    *::* | NOTE2MD_* | -DNOTE2MD_* | [a-z]*[A-Z]*)
      [[ $name =~ ^(-D)?[A-Za-z_][A-Za-z0-9_:]*(=.*)?$ ]] || continue
      word=${name#-D} && word=${word%%=*} && word=${word##*::}
      ok "$from: the name $name" [ "$(grep -rwo -- "$word" $code | count_lines)" -gt "$own" ]
      ;;
    esac
  done < <(printf '%s\n' "$words" | grep -o '`[^` ]*`' | tr -d '`' | sort -u)
done
finish
