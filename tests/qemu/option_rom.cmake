# cmake -DNASM=nasm -DSOURCE=x.asm -DOUTPUT=x.bin -P option_rom.cmake
# Assembles an option ROM and makes its bytes add up to 0 (modulo 256), as
# the BIOS requires: a first pass with the checksum byte 0, then a second
# with ROM_CHECKSUM the byte that completes the sum.
execute_process(COMMAND "${NASM}" -f bin -w+all -Werror -o "${OUTPUT}" "${SOURCE}"
                RESULT_VARIABLE result ERROR_VARIABLE output OUTPUT_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "option_rom.cmake: nasm failed:\n${output}")
endif()
file(READ "${OUTPUT}" bytes HEX)
string(LENGTH "${bytes}" digits)
math(EXPR last "${digits} - 2")
set(sum 0)
foreach(at RANGE 0 ${last} 2)
  string(SUBSTRING "${bytes}" ${at} 2 byte)
  math(EXPR sum "(${sum} + 0x${byte}) % 256")
endforeach()
math(EXPR checksum "(256 - ${sum}) % 256")
execute_process(COMMAND "${NASM}" -f bin -w+all -Werror -DROM_CHECKSUM=${checksum} -o "${OUTPUT}" "${SOURCE}"
                RESULT_VARIABLE result ERROR_VARIABLE output OUTPUT_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "option_rom.cmake: nasm failed:\n${output}")
endif()
