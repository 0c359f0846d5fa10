# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME note2md)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(NOTE2MD_MAINTAINER "note2md developers <maintainers@note2md.invalid>" CACHE STRING
    "The package's Maintainer field: whoever builds and publishes the package")
set(CPACK_PACKAGE_CONTACT "${NOTE2MD_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert exported plain-text notes to Markdown")
# The package's long description, after the summary line.
set(CPACK_PACKAGE_DESCRIPTION "note2md reads one note that a note-taking application exported as plain
text and writes it as Markdown: headings, hard line breaks, attachment links
with inline images, task checkboxes and web links, each on request. It prints
one line with the note's tags, dates and a name for the script that calls it
once per note, and replaces the output file atomically.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: from whatever the binary links dynamically (nothing, when static).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian keeps man pages compressed; cmake --install leaves them plain.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CompressManPages.cmake)

include(CPack)
