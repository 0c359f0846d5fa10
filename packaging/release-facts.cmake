# The release facts, computed in this one place: the version, which
# project(VERSION) of CMakeLists.txt sets, and the time stamp of every file a
# release holds: SOURCE_DATE_EPOCH as the caller gives it, else the last
# commit's date where the source is a git checkout, else the date of the
# changelog's latest entry. Written as shell assignments (NOTE2MD_VERSION=,
# SOURCE_DATE_EPOCH=) to FACTS, which the Debian package, scripts/release.sh
# and the tests read.
#   CMakeLists.txt includes it at every configure, into BUILD/release-facts.sh;
#   cmake -DSOURCE=DIR -DFACTS=FILE -P packaging/release-facts.cmake
#   runs it again (the package does, so that a commit since is seen).
if(NOT SOURCE)
  set(SOURCE ${PROJECT_SOURCE_DIR})
endif()
if(NOT FACTS)
  set(FACTS ${PROJECT_BINARY_DIR}/release-facts.sh)
endif()
file(STRINGS ${SOURCE}/CMakeLists.txt project_line REGEX "^project\\(note2md VERSION ")
string(REGEX MATCH "VERSION ([0-9.]+)" match "${project_line}")
set(facts_version ${CMAKE_MATCH_1})

set(facts_epoch "$ENV{SOURCE_DATE_EPOCH}")
# Only a checkout's own commit: a source archive unpacked inside some other
# checkout takes the changelog's date. The checkout is trusted though another
# user own it (a CI container's, read as root), or git refuses it and the
# date would quietly become the changelog's.
if(facts_epoch STREQUAL "" AND EXISTS "${SOURCE}/.git")
  file(REAL_PATH "${SOURCE}" facts_source)
  execute_process(COMMAND git -c safe.directory=${facts_source} -C ${SOURCE} log -1 --format=%ct
                  OUTPUT_VARIABLE facts_epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    set(facts_epoch "")
  endif()
endif()
if(facts_epoch STREQUAL "")
  file(STRINGS ${SOURCE}/doc/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
  string(REGEX REPLACE "^ -- .*>  " "" changelog_date "${trailer}")
  execute_process(COMMAND date -d "${changelog_date}" +%s OUTPUT_VARIABLE facts_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET)
endif()
file(CONFIGURE OUTPUT ${FACTS} CONTENT "NOTE2MD_VERSION=${facts_version}\nSOURCE_DATE_EPOCH=${facts_epoch}\n")
