# ICU's data as the program links it: only the items it loads, repacked from
# the installed common data (the bytes inside libicudata.a) with ICU's own
# tools. The whole data is about 30 MB; a run reads a few tables of it.
#
# note2md_icu_data_subset(TARGET ARCHIVE ITEM_LIST) defines an object
# library TARGET that provides the data under ICU's usual entry point.

find_program(NOTE2MD_ICUPKG icupkg PATHS /usr/sbin /usr/local/sbin REQUIRED)
find_program(NOTE2MD_GENCCODE genccode PATHS /usr/sbin /usr/local/sbin REQUIRED)
if(NOT CMAKE_OBJCOPY)
  message(FATAL_ERROR "objcopy is needed to read ICU's data out of libicudata.a")
endif()

function(note2md_icu_data_subset target archive item_list)
  # The package name inside the data (icudt72l: version and byte order) is
  # the name of the archive's one object; ICU finds nothing under any other.
  execute_process(COMMAND ${CMAKE_AR} t ${archive} OUTPUT_VARIABLE members OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCH "icudt[0-9]+[lbe]" package "${members}")
  string(REGEX MATCH "icudt[0-9]+" entry "${package}")
  if(NOT package)
    message(FATAL_ERROR "no ICU common data object in ${archive} (members: ${members})")
  endif()
  set(work ${CMAKE_CURRENT_BINARY_DIR}/icu-data)
  set(source ${work}/${entry}_dat.c)
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -DARCHIVE=${archive} -DMEMBER=${members} -DPACKAGE=${package} -DENTRY=${entry}
            -DITEMS=${item_list} -DWORK=${work} -DAR=${CMAKE_AR} -DOBJCOPY=${CMAKE_OBJCOPY}
            -DICUPKG=${NOTE2MD_ICUPKG} -DGENCCODE=${NOTE2MD_GENCCODE}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/IcuDataSubset.cmake
    DEPENDS ${archive} ${item_list} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/IcuDataSubset.cmake
    COMMENT "Packing the ICU data items that note2md loads"
    VERBATIM)
  add_library(${target} STATIC ${source})
  target_include_directories(${target} PRIVATE ${NOTE2MD_ICU_INCLUDE_DIRS})
endfunction()
