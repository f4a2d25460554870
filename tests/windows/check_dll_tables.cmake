# SPDX-License-Identifier: MIT
# Reads the export and import tables of DLL with OBJDUMP -p: the exports must
# be exactly ZvExec, ZvFree and ZvParse by name, and every imported DLL one
# that every Windows installation has (no C++ runtime, libgcc or pthreads
# DLL).
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(([ \t]+\\[[ 0-9]+\\] [^\n]+\n)*)" table "${dump}")
string(REGEX MATCHALL "\\] [^\n]+" entries "${CMAKE_MATCH_1}")
list(TRANSFORM entries REPLACE "\\] " "")
list(SORT entries)
if(NOT entries STREQUAL "ZvExec;ZvFree;ZvParse")
  message(FATAL_ERROR "exports of ${DLL}: '${entries}', want ZvExec;ZvFree;ZvParse")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
list(TRANSFORM imports TOLOWER)
set(system kernel32.dll msvcrt.dll ntdll.dll user32.dll advapi32.dll)
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST system)
    message(FATAL_ERROR "${DLL} imports ${dll}, which a host may not have")
  endif()
endforeach()
message(STATUS "exports: ${entries}; imports: ${imports}")
