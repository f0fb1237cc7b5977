# vorn_embed_binary(<out_var> INPUT <file> NAME <symbol> SIZE <bytes> HEADER <include>)
# Generates a .cpp defining the byte array <symbol> from <file> (built or
# checked in) and appends its path to <out_var>.
function(vorn_embed_binary out_var)
  cmake_parse_arguments(ARG "" "INPUT;NAME;SIZE;HEADER" "" ${ARGN})
  get_filename_component(base "${ARG_INPUT}" NAME)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/${base}.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -DINPUT=${ARG_INPUT} -DOUTPUT=${output} -DNAME=${ARG_NAME}
            -DSIZE=${ARG_SIZE} -DHEADER=${ARG_HEADER} -P ${PROJECT_SOURCE_DIR}/cmake/embed_binary.cmake
    DEPENDS "${ARG_INPUT}" ${PROJECT_SOURCE_DIR}/cmake/embed_binary.cmake
    COMMENT "Embedding ${base}"
    VERBATIM)
  set(${out_var} ${${out_var}} "${output}" PARENT_SCOPE)
endfunction()
