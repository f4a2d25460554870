# SPDX-License-Identifier: MIT
# The shared library TARGET exports only what the version script MAP names:
# visibility alone leaves the standard library's templates exported. (On
# Windows a .def file or the export attributes decide.)
function(zorvan_exports_map target map)
  if(NOT WIN32)
    target_link_options(${target} PRIVATE -Wl,--version-script=${map})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
  endif()
endfunction()

# NAME (shared, with a SONAME) and NAME_static built from the same sources,
# as the CMake package exports them: Zorvan::EXPORT and
# Zorvan::EXPORT_static. Hosts of the static one are built with
# STATIC_DEFINE, so its header declares no exports.
function(zorvan_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_NAME;EXPORT;STATIC_DEFINE;EXPORTS_MAP"
    "SOURCES;INCLUDES;PUBLIC;PRIVATE")
  foreach(target ${name} ${name}_static)
    if(target STREQUAL name)
      add_library(${target} SHARED)
      set(alias ${arg_EXPORT})
      set_target_properties(${target} PROPERTIES
        VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
      zorvan_exports_map(${target} ${arg_EXPORTS_MAP})
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
