# Makes MakeVORNDisk-<version>-windows.zip (cmake -P, from make-packages):
# one folder holding the 32-bit and the 64-bit program, each under a folder
# that names the Windows it is for (the file name stays MakeVORNDisk.exe:
# the program's message boxes are captioned with it), the operator's guide
# README.txt, LICENSE.txt and SHA256SUMS. Text files get CRLF line ends,
# which every Windows editor shows. The programs are copied without the
# debug sections that the static runtime brings (STRIP_32 and STRIP_64 are
# the mingw strip programs).
#
#   -DVERSION=1.3.0 -DEXE_32=... -DEXE_64=... -DSTRIP_32=... -DSTRIP_64=...
#   -DSTANDINS=ON|OFF -DOUTPUT_DIR=...
foreach(required VERSION EXE_32 EXE_64 STRIP_32 STRIP_64 STANDINS OUTPUT_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "windows_zip.cmake: -D${required}=... is missing")
  endif()
endforeach()
foreach(exe "${EXE_32}" "${EXE_64}")
  if(NOT EXISTS "${exe}")
    message(FATAL_ERROR "windows_zip.cmake: ${exe} does not exist")
  endif()
endforeach()

set(source "${CMAKE_CURRENT_LIST_DIR}")
set(name "MakeVORNDisk-${VERSION}-windows")
set(staging "${OUTPUT_DIR}/windows-zip-staging")
set(folder "${staging}/${name}")
set(zip "${OUTPUT_DIR}/${name}.zip")
file(REMOVE_RECURSE "${staging}")
file(REMOVE "${zip}")

foreach(bits 32 64)
  set(copy "${folder}/for-${bits}-bit-Windows/MakeVORNDisk.exe")
  file(MAKE_DIRECTORY "${folder}/for-${bits}-bit-Windows")
  file(COPY_FILE "${EXE_${bits}}" "${copy}")
  execute_process(COMMAND "${STRIP_${bits}}" --strip-debug "${copy}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "windows_zip.cmake: ${STRIP_${bits}} failed on ${copy}: ${result}")
  endif()
endforeach()

if(STANDINS)
  file(READ "${source}/payload-standins.txt" notice)
else()
  file(READ "${source}/payload-own.txt" notice)
endif()
string(STRIP "${notice}" VORN_PAYLOAD_NOTICE)
set(VORN_VERSION "${VERSION}")
# configure_file's NEWLINE_STYLE leaves the line ends of substituted text
# alone: every line end is made CRLF here instead.
function(write_crlf input output)
  configure_file("${input}" "${output}" @ONLY)
  file(READ "${output}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${output}" "${text}")
endfunction()
write_crlf("${source}/windows-guide.txt.in" "${folder}/README.txt")
write_crlf("${source}/../LICENSE" "${folder}/LICENSE.txt")

# One "<sha256>  <path>" line per file, as sha256sum writes and checks them.
set(sums "")
foreach(file for-32-bit-Windows/MakeVORNDisk.exe for-64-bit-Windows/MakeVORNDisk.exe README.txt LICENSE.txt)
  file(SHA256 "${folder}/${file}" hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE "${folder}/SHA256SUMS" "${sums}")

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip "${name}"
                WORKING_DIRECTORY "${staging}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "windows_zip.cmake: making ${zip} failed: ${result}")
endif()
file(REMOVE_RECURSE "${staging}")
message(STATUS "${zip}")
