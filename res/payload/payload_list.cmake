# The eight files a VORN disk gets, in the order the completion worker
# installs them: the one list from which the files are built
# (payload.cmake), the Windows program's resources and the other backends'
# embedded table are made (payload/payload_resources.cmake), and the C++
# table of the program and the tests (payload/payload_table.h).
#
# Six fields a file:
#   name      the file's name in the root of the new volume
#   type      the resource type it is stored under (all in language 1028)
#   passed    the type name the worker passes to the resource lookup, which
#             ignores case; the attribute steps go with it
#   id        the integer resource name
#   steps     the DOS attributes set once the file is written, in this
#             order, comma-separated, each step the letters of the bits it
#             sets (R read-only, H hidden, S system; the archive bit goes);
#             - for none: the file keeps the archive bit it was made with
#   stand-in  our own stand-in's source in this folder (<stand-in>.asm);
#             - for ISP.BAT, which payload.cmake always writes itself
set(VORN_PAYLOAD_LIST
  # name        type  passed id   steps   stand-in
  COMMAND.COM   BOOT  Boot   132  HS      command_com
  IO.SYS        BOOT  Boot   130  HS,RHS  io_sys
  MSDOS.SYS     BOOT  Boot   131  HS,RHS  msdos_sys
  VORN.exe      AP    AP     129  -       vorn_exe
  CWSDPMI.EXE   DPMI  DPMI   137  RH      cwsdpmi_exe
  CWSDPR0.EXE   DPMI  DPMI   138  RH      cwsdpr0_exe
  CWSPARAM.EXE  DPMI  DPMI   136  RH      cwsparam_exe
  ISP.BAT       AP    AP     139  -       -
  CACHE INTERNAL "The payload files: name, type, type passed, id, attribute steps, stand-in")
set(VORN_PAYLOAD_LIST_FIELDS 6 CACHE INTERNAL "Fields of each file in VORN_PAYLOAD_LIST")

# Sets <count_var> to the number of files.
function(vorn_payload_file_count count_var)
  list(LENGTH VORN_PAYLOAD_LIST items)
  math(EXPR remainder "${items} % ${VORN_PAYLOAD_LIST_FIELDS}")
  if(NOT remainder EQUAL 0)
    message(FATAL_ERROR "VORN_PAYLOAD_LIST: ${items} items are not files of ${VORN_PAYLOAD_LIST_FIELDS} fields")
  endif()
  math(EXPR count "${items} / ${VORN_PAYLOAD_LIST_FIELDS}")
  set(${count_var} ${count} PARENT_SCOPE)
endfunction()

# Sets <prefix>_NAME, _TYPE, _PASSED, _ID, _STEPS (a list, empty for none)
# and _STANDIN (empty for none) to the fields of the file at <index>,
# counted from 0 in install order.
function(vorn_payload_file index prefix)
  math(EXPR first "${index} * ${VORN_PAYLOAD_LIST_FIELDS}")
  set(field ${first})
  foreach(key NAME TYPE PASSED ID STEPS STANDIN)
    list(GET VORN_PAYLOAD_LIST ${field} value)
    if(value STREQUAL "-")
      set(value "")
    endif()
    if(key STREQUAL "STEPS")
      string(REPLACE "," ";" value "${value}")
    endif()
    set(${prefix}_${key} "${value}" PARENT_SCOPE)
    math(EXPR field "${field} + 1")
  endforeach()
endfunction()
