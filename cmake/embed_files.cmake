# SPDX-License-Identifier: MIT
# embed_files(OUTPUT FILES f... HEADER h TYPE t ARRAY a COUNT c NAMESPACE n
#             KEY NAME|NAME_WE [PREFIX p] COMMENT text)
# Generates OUTPUT, a C++ source with the bytes of FILES (cmake/embed.cmake
# says how), again whenever one of them changes.
function(embed_files output)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "HEADER;TYPE;ARRAY;COUNT;NAMESPACE;KEY;PREFIX;COMMENT"
                        "FILES")
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${output}" "-DFILES=${arg_FILES}" "-DHEADER=${arg_HEADER}"
            "-DTYPE=${arg_TYPE}" "-DARRAY=${arg_ARRAY}" "-DCOUNT=${arg_COUNT}"
            "-DNAMESPACE=${arg_NAMESPACE}" "-DKEY=${arg_KEY}" "-DPREFIX=${arg_PREFIX}"
            -P ${PROJECT_SOURCE_DIR}/cmake/embed.cmake
    DEPENDS ${arg_FILES} ${PROJECT_SOURCE_DIR}/cmake/embed.cmake
    COMMENT "${arg_COMMENT}" VERBATIM)
endfunction()
