# The eight files a VORN disk gets (payload_list.cmake), built into one
# folder:
#   VORN_PAYLOAD_DIR    (cache) the folder, ${CMAKE_BINARY_DIR}/payload
#   VORN_PAYLOAD_FILES  (cache) the files' paths, in install order
#   VORN_PAYLOAD_STANDINS (cache) ON when they are our own stand-ins
#   vorn_payload_files  the target that builds them
#
# By default the seven DOS files are our own stand-ins, assembled from the
# sources here, and say what they are when run; IO.SYS checks the boot
# hand-over. -DVORN_PAYLOAD_SOURCE_DIR=<folder> takes the seven from an
# operator's folder of licensed files instead (names matched without regard
# to case). ISP.BAT is always ours: the text "VORN -f" without a line end.
include_guard(GLOBAL)
include("${CMAKE_CURRENT_LIST_DIR}/payload_list.cmake")

find_program(NASM nasm REQUIRED)

set(VORN_PAYLOAD_SOURCE_DIR "" CACHE PATH
    "Folder with your own licensed copies of the DOS files, used instead of the stand-ins")

set(payload_dir "${CMAKE_BINARY_DIR}/payload")
set(payload_source_dir "${CMAKE_CURRENT_LIST_DIR}")
file(MAKE_DIRECTORY "${payload_dir}")

if(VORN_PAYLOAD_SOURCE_DIR)
  if(NOT IS_DIRECTORY "${VORN_PAYLOAD_SOURCE_DIR}")
    message(FATAL_ERROR "VORN_PAYLOAD_SOURCE_DIR: ${VORN_PAYLOAD_SOURCE_DIR} is not a folder")
  endif()
  # A file added to the folder, or one taken away, configures again.
  file(GLOB operator_files LIST_DIRECTORIES false CONFIGURE_DEPENDS "${VORN_PAYLOAD_SOURCE_DIR}/*")
endif()

# In install order: the DOS files from their stand-ins or the operator's
# folder, ISP.BAT (no stand-in source) written below.
set(payload_outputs)
set(missing)
vorn_payload_file_count(payload_count)
math(EXPR last "${payload_count} - 1")
foreach(index RANGE 0 ${last})
  vorn_payload_file(${index} payload)
  set(name "${payload_NAME}")
  set(source "${payload_STANDIN}")
  set(output "${payload_dir}/${name}")
  if(NOT source)
    if(NOT name STREQUAL "ISP.BAT")
      message(FATAL_ERROR "payload_list.cmake: ${name} has no stand-in; only ISP.BAT is written without one")
    endif()
    list(APPEND payload_outputs "${output}")
    continue()
  endif()
  if(VORN_PAYLOAD_SOURCE_DIR)
    string(TOUPPER "${name}" wanted)
    set(found "")
    foreach(candidate IN LISTS operator_files)
      get_filename_component(candidate_name "${candidate}" NAME)
      string(TOUPPER "${candidate_name}" candidate_upper)
      if(candidate_upper STREQUAL wanted)
        set(found "${candidate}")
      endif()
    endforeach()
    if(NOT found)
      list(APPEND missing ${name})
      continue()
    endif()
    add_custom_command(
      OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -E copy "${found}" "${output}"
      DEPENDS "${found}"
      COMMENT "Payload ${name} from ${VORN_PAYLOAD_SOURCE_DIR}"
      VERBATIM)
  else()
    add_custom_command(
      OUTPUT "${output}"
      COMMAND ${NASM} -f bin -w+all -Werror -I${payload_source_dir}/ -o ${output}
              ${payload_source_dir}/${source}.asm
      DEPENDS "${payload_source_dir}/${source}.asm" "${payload_source_dir}/mz_header.inc"
              "${payload_source_dir}/standin.inc"
      COMMENT "Assembling the ${name} stand-in"
      VERBATIM)
  endif()
  list(APPEND payload_outputs "${output}")
endforeach()
if(missing)
  message(FATAL_ERROR "VORN_PAYLOAD_SOURCE_DIR ${VORN_PAYLOAD_SOURCE_DIR} lacks: ${missing}")
endif()

# ISP.BAT: exactly "VORN -f", 7 bytes, no line end.
set(isp_bat "${payload_dir}/ISP.BAT")
set(isp_bat_text "VORN -f")
set(isp_bat_now "")
if(EXISTS "${isp_bat}")
  file(READ "${isp_bat}" isp_bat_now)
endif()
if(NOT isp_bat_now STREQUAL isp_bat_text)
  file(WRITE "${isp_bat}" "${isp_bat_text}")
endif()

if(VORN_PAYLOAD_SOURCE_DIR)
  set(standins OFF)
else()
  set(standins ON)
endif()
set(VORN_PAYLOAD_DIR "${payload_dir}" CACHE INTERNAL "Folder of the built payload files")
set(VORN_PAYLOAD_STANDINS ${standins} CACHE INTERNAL "The payload is our own stand-ins")
set(VORN_PAYLOAD_FILES "${payload_outputs}" CACHE INTERNAL "The payload files, in install order")
add_custom_target(vorn_payload_files ALL DEPENDS ${payload_outputs})
