# SPDX-License-Identifier: MIT
# The project's own code warns (as errors with ZORVAN_WERROR); generated
# code opts out per file.
function(zorvan_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${ZORVAN_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
      -Wconversion -Wno-sign-conversion $<$<BOOL:${ZORVAN_WERROR}>:-Werror>)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      # GCC 12 reports std::string concatenation at -O3 as overlapping memcpy.
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
  endif()
endfunction()
