#!/usr/bin/env bash
# Every file and every name of the code that the documents and the comments
# of src/ give in backticks exists, so that neither keeps a name the code has
# dropped or a tool the project does not have.
# Written for the bash of macOS (3.2) and BSD commands.
. "$(dirname "$0")/harness.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
code="src tests bench scripts cmake packaging CMakeLists.txt .github .ci"

# known FROM NAME: whether NAME, a file or folder in backticks in FROM,
# exists: from the root, beside FROM, under src/ or anywhere by its name.
known_file() {
  local name=${2%/} dir
  dir=$(dirname "$1")
  [ -e "$name" ] || [ -e "$dir/$name" ] || [ -e "src/$name" ] || [ -e "src/system/$name" ] && return 0
  [ -n "$(find . -path ./.git -prune -o -path './build*' -prune -o -name "$(basename "$name")" -print | head -1)" ]
}

# Every backticked word of a file, one a line; in a source only those of its
# comments.
names() {
  case $1 in
  *.cpp | *.hpp) grep -h '^ *//' "$1" ;;
  *) cat "$1" ;;
  esac | grep -o '`[^` ]*`' | tr -d '`' | sort -u
}

for from in README.md doc/*.md $(find src -name '*.[ch]pp'); do
  while IFS= read -r name; do
    # (a placeholder in capitals: OUT.md, BUILD/...)
    [[ $name =~ ^[A-Z]+[./] ]] && continue
    case $name in
    # paths on the user's system, addresses and patterns, placeholders,
    # build output, system calls
    /* | ~* | *:* | *VERSION* | *NAME* | *XXXX* | build* | dist/* | *'*'* | share/* | bin/* | *'('*) ;;
    .note2md-* | @* | install_manifest*) ;;
    */* | *.cpp | *.hpp | *.sh | *.cmake | *.py | *.rb | *.yml | *.in)
      ok "$from: the file $name" known_file "$from" "$name"
      ;;
    # names of the code: camelCase, a scope, an option of the build
    *::* | NOTE2MD_* | -DNOTE2MD_* | [a-z]*[A-Z]*)
      [[ $name =~ ^(-D)?[A-Za-z_][A-Za-z0-9_:]*(=.*)?$ ]] || continue
      local_name=${name#-D} && local_name=${local_name%%=*} && local_name=${local_name##*::}
      # (a comment's own line does not count for the names of src/)
      count=$(grep -rwo -- "$local_name" $code 2>/dev/null | count_lines)
      case $from in src/*) need=2 ;; *) need=1 ;; esac
      ok "$from: the name $name" [ "$count" -ge "$need" ]
      ;;
    esac
  done < <(names "$from")
done
finish
