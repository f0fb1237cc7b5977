# cmake -DNASM=nasm -DSOURCE=x.asm -DOUTPUT=x.bin -DMAP=x.map [-DINCLUDE_DIR=dir] [-DDEFINES=A;B=1] -P assemble.cmake
# Assembles one boot program with nasm and reports how much of each of its
# fixed regions it uses (from the report_<region>_used/_room symbols of the
# map file). A program that outgrows a region fails with a clear message.
set(include_args)
if(INCLUDE_DIR)
  set(include_args "-I${INCLUDE_DIR}/")
endif()
set(define_args)
foreach(define IN LISTS DEFINES)
  list(APPEND define_args "-D${define}")
endforeach()
execute_process(
  COMMAND "${NASM}" -f bin -w+all -Werror ${include_args} ${define_args} "-DMAP_FILE=${MAP}" -o "${OUTPUT}" "${SOURCE}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
get_filename_component(name "${SOURCE}" NAME)
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}")
  string(REGEX MATCH "TIMES value -([0-9]+) is negative" overflow "${output}")
  if(overflow)
    message(FATAL_ERROR "${name}: the program is ${CMAKE_MATCH_1} bytes too large for its region "
                        "(the first line below names the region's end).\n${output}")
  endif()
  message(FATAL_ERROR "${name}: nasm failed:\n${output}")
endif()
file(STRINGS "${MAP}" lines REGEX "report_.*_(used|room)$")
set(regions)
foreach(line IN LISTS lines)
  if(line MATCHES "^([0-9A-Fa-f]+) +report_(.*)_(used|room)$")
    math(EXPR value "0x${CMAKE_MATCH_1}")
    set(${CMAKE_MATCH_2}_${CMAKE_MATCH_3} ${value})
    list(APPEND regions ${CMAKE_MATCH_2})
  endif()
endforeach()
list(REMOVE_DUPLICATES regions)
foreach(region IN LISTS regions)
  math(EXPR free "${${region}_room} - ${${region}_used}")
  message(STATUS "${name}: ${region}: ${${region}_used} of ${${region}_room} bytes (${free} free)")
endforeach()
