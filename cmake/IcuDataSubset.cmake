# Run with cmake -P by IcuData.cmake: extracts ICU's common data from its
# archive, keeps the items named in ITEMS and writes them as C source.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/items)
execute_process(COMMAND ${AR} x ${ARCHIVE} ${MEMBER} WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${OBJCOPY} -O binary --only-section=.rodata ${MEMBER} ${PACKAGE}.dat
                WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)

file(STRINGS ${ITEMS} lines REGEX "^[^#]")
set(list ${WORK}/items.txt)
file(WRITE ${list} "")
foreach(item IN LISTS lines)
  string(STRIP "${item}" item)
  if(item)
    file(APPEND ${list} "${item}\n")
    # A missing item stops the build here rather than a conversion later.
    execute_process(COMMAND ${ICUPKG} -x ${item} -d ${WORK}/items ${PACKAGE}.dat
                    WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

# The root break-iterator table names rules the program never loads (line,
# word, dictionaries); --ignore-deps accepts that they are absent.
file(MAKE_DIRECTORY ${WORK}/subset)
execute_process(COMMAND ${ICUPKG} --ignore-deps -tl -s ${WORK}/items -a ${list} new ${WORK}/subset/${PACKAGE}.dat
                OUTPUT_QUIET ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
# genccode names the symbol after the file: ICU looks for ENTRY_dat.
file(RENAME ${WORK}/subset/${PACKAGE}.dat ${WORK}/subset/${ENTRY}.dat)
execute_process(COMMAND ${GENCCODE} -q -d ${WORK} ${WORK}/subset/${ENTRY}.dat COMMAND_ERROR_IS_FATAL ANY)
