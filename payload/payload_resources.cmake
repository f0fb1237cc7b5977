# The payload files as resources: VORN_PAYLOAD_RESOURCES (payload/CMakeLists.txt)
# holds type, id and file name of each, in install order, all in language 1028.
include_guard(GLOBAL)

# Sets <manifest_var> to the lines "<type> <id> <language> <path>" of
# embed_resources.cmake, <rc_var> to the lines "<id> <type> "<path>"" of a
# .rc and <paths_var> to the files' paths.
function(vorn_payload_resource_lines manifest_var rc_var paths_var)
  set(language 1028)
  set(manifest_text "")
  set(rc_text "")
  set(payload_paths "")
  list(LENGTH VORN_PAYLOAD_RESOURCES item_count)
  math(EXPR last "${item_count} - 1")
  foreach(index RANGE 0 ${last} 3)
    math(EXPR id_index "${index} + 1")
    math(EXPR name_index "${index} + 2")
    list(GET VORN_PAYLOAD_RESOURCES ${index} type)
    list(GET VORN_PAYLOAD_RESOURCES ${id_index} id)
    list(GET VORN_PAYLOAD_RESOURCES ${name_index} name)
    set(path "${VORN_PAYLOAD_DIR}/${name}")
    list(APPEND payload_paths "${path}")
    string(APPEND manifest_text "${type} ${id} ${language} ${path}\n")
    string(APPEND rc_text "${id} ${type} \"${path}\"\n")
  endforeach()
  set(${manifest_var} "${manifest_text}" PARENT_SCOPE)
  set(${rc_var} "${rc_text}" PARENT_SCOPE)
  set(${paths_var} "${payload_paths}" PARENT_SCOPE)
endfunction()

# Writes the manifest in the current binary folder and the rule that embeds
# the payload files from it into payload_resources.cpp there (the table of
# winmodel/embedded_resources.h); sets <table_var> to that source's path.
function(vorn_embed_payload_resources table_var comment)
  vorn_payload_resource_lines(manifest_text rc_text payload_paths)
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
