# The Debian package: `cmake --build BUILD --target deb` makes
# BUILD/note2md_VERSION_ARCH.deb (see make-deb.sh).
set(NOTE2MD_MAINTAINER "note2md developers <maintainers@note2md.invalid>" CACHE STRING
    "The package's Maintainer field: whoever builds and publishes the package")

# The archives linked into the binary, for Built-Using.
set(NOTE2MD_EMBEDDED_ARCHIVES)
if(NOTE2MD_EMBED_ICU)
  list(APPEND NOTE2MD_EMBEDDED_ARCHIVES ${ICU_uc_ARCHIVE} ${ICU_data_ARCHIVE})
  foreach(runtime libstdc++.a libgcc.a libgcc_eh.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime} OUTPUT_VARIABLE archive
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${archive}" AND EXISTS "${archive}")
      get_filename_component(archive "${archive}" REALPATH)
      list(APPEND NOTE2MD_EMBEDDED_ARCHIVES ${archive})
    endif()
  endforeach()
endif()

# The release facts are computed again first: a commit since the configure
# changes the time stamps.
add_custom_target(deb
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR} -DFACTS=${PROJECT_BINARY_DIR}/release-facts.sh
          -P ${PROJECT_SOURCE_DIR}/packaging/release-facts.cmake
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/make-deb.sh ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}
          ${PROJECT_BINARY_DIR} ${NOTE2MD_MAINTAINER} ${NOTE2MD_EMBEDDED_ARCHIVES}
  DEPENDS note2md
  COMMENT "Building the Debian package"
  VERBATIM)
