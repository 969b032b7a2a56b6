# Fails when a source includes from a room above its own. Run by CTest:
#   cmake -DROOT=<source dir> -P cmake/check_includes.cmake
#
# Each room lists the include prefixes it may use (its own and the rooms below it). Files outside
# the rooms below (tests, bench) are not checked: they may reach any room they test.

if(NOT ROOT)
  message(FATAL_ERROR "check_includes: pass -DROOT=<source dir>")
endif()

# The plug-in: automation <- host <- support <- bill, list <- core. Beside them on automation, the
# journal of what crosses between a host and the plug-in, which every recording host writes.
set(allowed_src/automation "automation")
set(allowed_src/journal "automation;journal")
set(allowed_src/host "automation;host")
set(allowed_src/support "automation;host;support")
set(allowed_src/bill "automation;host;support;bill")
set(allowed_src/list "automation;host;support;list")
set(allowed_src/core "automation;host;support;bill;list;core")

# The simulated host: db <- runtime <- components <- editor <- scenario <- tools. It reads the
# runtime and the host contract of the plug-in, never its handlers; only the command-line tools
# link the plug-in's class, as a host loads the plug-in.
set(sim_base "automation;host")
set(allowed_sim/db "${sim_base};sim/db")
set(allowed_sim/runtime "${sim_base};sim/runtime")
set(allowed_sim/replay "${sim_base};journal;sim/replay")
set(allowed_sim/components "${sim_base};sim/db;sim/runtime;sim/components")
set(allowed_sim/editor "${sim_base};sim/db;sim/runtime;sim/components;sim/editor")
set(allowed_sim/scenario "${sim_base};journal;sim/db;sim/runtime;sim/replay;sim/components;sim/editor;sim/scenario")
set(allowed_sim/tools "${sim_base};journal;sim/db;sim/runtime;sim/replay;sim/components;sim/editor;sim/scenario;core")

# The COM binding: bridge <- dll (the server) and test_host (the Windows test host). The test host
# also links the plug-in's class, to time it in process beside the DLL in one run.
set(allowed_com/bridge "automation;journal;bridge")
set(allowed_com/dll "automation;host;core;journal;bridge;dll")
set(allowed_com/test_host "automation;journal;host;core;sim/db;sim/runtime;sim/components;sim/editor;sim/scenario;bridge;test_host")

set(rooms src/automation src/journal src/host src/support src/bill src/list src/core sim/db sim/runtime sim/replay sim/components
          sim/editor sim/scenario sim/tools com/bridge com/dll com/test_host)

set(violations "")
foreach(room IN LISTS rooms)
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${room}/*.h ${ROOT}/${room}/*.cc)
  foreach(file IN LISTS files)
    file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      if(NOT header MATCHES "/")
        continue()  # a header of the same folder
      endif()
      set(ok FALSE)
      foreach(prefix IN LISTS allowed_${room})
        string(LENGTH "${prefix}/" length)
        string(SUBSTRING "${header}" 0 ${length} start)
        if(start STREQUAL "${prefix}/")
          set(ok TRUE)
          break()
        endif()
      endforeach()
      if(NOT ok)
        string(APPEND violations "  ${file}: #include \"${header}\" reaches above ${room}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes must point down the rooms (docs/architecture.md):\n${violations}")
endif()
message(STATUS "check_includes: every include points down the rooms")
