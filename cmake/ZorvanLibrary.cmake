# NAME (shared, with a SONAME) and NAME_static built from the same sources,
# as the CMake package exports them: Zorvan::EXPORT and
# Zorvan::EXPORT_static. Hosts of the static one are built with
# STATIC_DEFINE, so its header declares no exports.
function(zorvan_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_NAME;EXPORT;STATIC_DEFINE"
    "SOURCES;INCLUDES;PUBLIC;PRIVATE")
  foreach(target ${name} ${name}_static)
    if(target STREQUAL name)
      add_library(${target} SHARED)
      set(alias ${arg_EXPORT})
      set_target_properties(${target} PROPERTIES
        VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    else()
      add_library(${target} STATIC)
      set(alias ${arg_EXPORT}_static)
      target_compile_definitions(${target} INTERFACE ${arg_STATIC_DEFINE})
    endif()
    target_sources(${target} PRIVATE ${arg_SOURCES})
    target_include_directories(${target} PUBLIC ${arg_INCLUDES})
    target_link_libraries(${target} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${arg_OUTPUT_NAME} EXPORT_NAME ${alias})
    add_library(Zorvan::${alias} ALIAS ${target})
  endforeach()
endfunction()
