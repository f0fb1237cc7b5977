# The payload files as resources, from the payload list
# (res/payload/payload_list.cmake): each file under its type and id, all in
# language 1028, in install order.
include_guard(GLOBAL)
include("${CMAKE_CURRENT_LIST_DIR}/../res/payload/payload_list.cmake")

# Sets <expression_var> to the C++ expression of one attribute step of the
# payload list, its letters R, H and S as FILE_ATTRIBUTE_ names
# ("FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM" for HS).
function(vorn_payload_attribute_expression name step expression_var)
  if(NOT step MATCHES "^R?H?S?$" OR step STREQUAL "")
    message(FATAL_ERROR "payload_list.cmake: ${name} has the attribute step '${step}'; letters R, H, S in this order")
  endif()
  set(letters R H S)
  set(names READONLY HIDDEN SYSTEM)
  set(bits "")
  foreach(letter bit IN ZIP_LISTS letters names)
    if(step MATCHES "${letter}")
      list(APPEND bits "FILE_ATTRIBUTE_${bit}")
    endif()
  endforeach()
  list(JOIN bits " | " expression)
  set(${expression_var} "${expression}" PARENT_SCOPE)
endfunction()

# Sets <manifest_var> to the lines "<type> <id> <language> <path>" of
# embed_resources.cmake, <rc_var> to the lines "<id> <type> "<path>"" of a
# .rc, <rows_var> to the rows of the C++ payload table (payload_table.h) and
# <paths_var> to the files' paths.
function(vorn_payload_resource_lines manifest_var rc_var rows_var paths_var)
  set(language 1028)
  set(manifest_text "")
  set(rc_text "")
  set(rows_text "")
  set(payload_paths "")
  vorn_payload_file_count(count)
  math(EXPR last "${count} - 1")
  foreach(index RANGE 0 ${last})
    vorn_payload_file(${index} file)
    set(path "${VORN_PAYLOAD_DIR}/${file_NAME}")
    list(APPEND payload_paths "${path}")
    string(APPEND manifest_text "${file_TYPE} ${file_ID} ${language} ${path}\n")
    string(APPEND rc_text "${file_ID} ${file_TYPE} \"${path}\"\n")
    # Two attribute steps, 0 for a step not taken.
    list(LENGTH file_STEPS step_count)
    if(step_count GREATER 2)
      message(FATAL_ERROR "payload_list.cmake: ${file_NAME} has more than two attribute steps")
    endif()
    set(steps "")
    foreach(step IN LISTS file_STEPS)
      vorn_payload_attribute_expression("${file_NAME}" "${step}" expression)
      list(APPEND steps "${expression}")
    endforeach()
    list(APPEND steps 0u 0u)
    list(GET steps 0 first_step)
    list(GET steps 1 second_step)
    string(APPEND rows_text "    {\"${file_NAME}\", \"${file_TYPE}\", \"${file_PASSED}\", ${file_ID}, "
                            "\"%c:\\\\${file_NAME}\", {${first_step}, ${second_step}}},\n")
  endforeach()
  set(${manifest_var} "${manifest_text}" PARENT_SCOPE)
  set(${rc_var} "${rc_text}" PARENT_SCOPE)
  set(${rows_var} "${rows_text}" PARENT_SCOPE)
  set(${paths_var} "${payload_paths}" PARENT_SCOPE)
endfunction()

# Writes the manifest in the current binary folder and the rule that embeds
# the payload files from it into payload_resources.cpp there (the table of
# winmodel/embedded_resources.h); sets <table_var> to that source's path.
function(vorn_embed_payload_resources table_var comment)
  vorn_payload_resource_lines(manifest_text rc_text rows_text payload_paths)
  set(manifest "${CMAKE_CURRENT_BINARY_DIR}/payload_resources.txt")
  file(CONFIGURE OUTPUT "${manifest}" CONTENT "${manifest_text}" @ONLY)
  set(table "${CMAKE_CURRENT_BINARY_DIR}/payload_resources.cpp")
  set(embed_script "${PROJECT_SOURCE_DIR}/payload/embed_resources.cmake")
  add_custom_command(
    OUTPUT "${table}"
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest} -DOUTPUT=${table} -P ${embed_script}
    DEPENDS ${payload_paths} "${manifest}" ${embed_script}
    COMMENT "${comment}"
    VERBATIM)
  set(${table_var} "${table}" PARENT_SCOPE)
endfunction()
