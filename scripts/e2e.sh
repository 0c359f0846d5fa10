#!/usr/bin/env bash
# Every end-to-end script and section (tests/e2e) against the binary
# $NOTE2MD, as the hosted macOS jobs run the binary built on Linux, and as
# .ci/run runs them with only macOS's commands on the PATH. A section that needs what the
# machine lacks says so and is skipped (77); any failure fails the whole.
# Written for the bash of macOS (3.2).
here=$(cd "$(dirname "$0")/../tests/e2e" && pwd)
failed=""
for run in cli examples manual write_safety:permissions write_safety:links write_safety:sticky write_safety:races \
  write_safety:signals write_safety:durability write_safety:errors write_safety:filesystems write_safety:macos; do
  script=${run%%:*} section=""
  [ "$script" = "$run" ] || section=${run#*:}
  echo "== $script $section"
  status=0
  bash "$here/$script.sh" $section || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || failed="$failed $run"
done
[ -z "$failed" ] || { echo "FAILED:$failed"; exit 1; }
echo "every script passed or said why it was skipped"
