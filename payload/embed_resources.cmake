# cmake -DMANIFEST=<file> -DOUTPUT=<file.cpp> -P embed_resources.cmake
# The manifest holds one resource a line: "<type> <id> <language> <path>".
# Writes a C++ source with each file's bytes and the table of
# winmodel/embedded_resources.h.
file(STRINGS "${MANIFEST}" lines)
set(arrays "")
set(rows "")
set(index 0)
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([^ ]+) ([0-9]+) ([0-9]+) (.+)$" matched "${line}")
  if(NOT matched)
    message(FATAL_ERROR "${MANIFEST}: bad line '${line}'")
  endif()
  set(type "${CMAKE_MATCH_1}")
  set(id "${CMAKE_MATCH_2}")
  set(language "${CMAKE_MATCH_3}")
  set(path "${CMAKE_MATCH_4}")
  file(SIZE "${path}" size)
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
  # A zero-length file still needs an array of one byte.
  if(size EQUAL 0)
    set(bytes "0")
  endif()
  string(APPEND arrays "// ${path}\nconst std::uint8_t kResource${index}[] = {\n    ${bytes}\n};\n\n")
  string(APPEND rows "    {\"${type}\", ${id}, ${language}, kResource${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${MANIFEST}; do not edit.\n#include \"winmodel/embedded_resources.h\"\n\n"
  "namespace platform {\n\nnamespace {\n${arrays}}  // namespace\n\n"
  "const EmbeddedResource kEmbeddedResources[] = {\n${rows}};\n"
  "const std::size_t kEmbeddedResourceCount = ${index};\n\n}  // namespace platform\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
