# Fails when a scenario file is not listed as a CTest test, so that no file in tests/scenarios is
# silently left out of the native run (the COM replay takes every file of the folder). Run by CTest:
#   cmake -DDIR=<tests/scenarios> "-DLISTED=a;b;c" -P cmake/check_scenarios_listed.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT DIR)
  message(FATAL_ERROR "check_scenarios_listed: pass -DDIR=<scenario folder>")
endif()
file(GLOB files RELATIVE ${DIR} ${DIR}/*.json)
set(missing "")
foreach(file IN LISTS files)
  string(REGEX REPLACE "\\.json$" "" stem "${file}")
  if(NOT stem IN_LIST LISTED)
    string(APPEND missing "  ${file}\n")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "List these scenario files in scenario_files (tests/CMakeLists.txt):\n${missing}")
endif()
message(STATUS "check_scenarios_listed: every scenario file is a test")
