# cmake -DINPUT=file.bin -DOUTPUT=file.cpp -DNAME=symbol -DSIZE=bytes -DHEADER=include -P embed_binary.cmake
# Writes a C++ source that defines `const std::uint8_t NAME[SIZE]` with the
# file's bytes; fails when the file is not exactly SIZE bytes long.
file(SIZE "${INPUT}" actual_size)
if(NOT actual_size EQUAL SIZE)
  message(FATAL_ERROR "${INPUT} is ${actual_size} bytes, expected ${SIZE}")
endif()
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n#include \"${HEADER}\"\n\nconst std::uint8_t ${NAME}[${SIZE}] = {\n    ${bytes}\n};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
