# The speed and memory targets: bench/run.sh reports against them and the
# count checks of the test suite (tests/e2e/counts.sh) fail beyond them.
# Counts, not times, so that a busy machine cannot move them.

# Instructions (callgrind, empty environment) of a 3 KB realistic note:
# loading the shared C library costs about 260,000 of them.
START_UP_INSTRUCTIONS=450000
# Instructions of a 1 MiB realistic note: 9,627,590 measured on 2026-12-07,
# plus 10 %.
MIB_INSTRUCTIONS=10600000
# Instructions of each 1 MiB hostile note (bench/notes.cpp): 107,314,312 at
# most on 2026-12-07; a scan that is not linear takes thousands of times more.
HOSTILE_INSTRUCTIONS=200000000
# Minor page faults of a 16 MiB realistic note, with transparent huge pages.
BIG_NOTE_FAULTS=300
# Peak resident size in KiB for a note of $1 bytes: twice the note + 10 MB.
peak_limit_kib() { echo $(((2 * $1 + 10 * 1000 * 1000) / 1024)); }
