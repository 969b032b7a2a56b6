# Records every scenario with `mto-sim run --journal` into a fresh folder and replays every journal
# with `mto-sim replay`: each must replay as identical. Run by CTest:
#   cmake -DSIM=<mto-sim> -DDIR=<tests/scenarios> -DWORK=<scratch folder> -P cmake/check_journals_replay.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT SIM OR NOT DIR OR NOT WORK)
  message(FATAL_ERROR "check_journals_replay: pass -DSIM=<mto-sim> -DDIR=<scenario folder> -DWORK=<scratch folder>")
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(GLOB scenarios ${DIR}/*.json)
execute_process(COMMAND ${SIM} run --quiet --journal ${WORK} ${scenarios} RESULT_VARIABLE run_rc
                ERROR_VARIABLE run_err)
if(NOT run_rc EQUAL 0)
  message(FATAL_ERROR "mto-sim run --journal failed (${run_rc}):\n${run_err}")
endif()
file(GLOB journals ${WORK}/*.jsonl)
list(LENGTH scenarios scenario_count)
list(LENGTH journals journal_count)
if(journal_count LESS scenario_count)
  message(FATAL_ERROR "${scenario_count} scenarios gave only ${journal_count} journals")
endif()
execute_process(COMMAND ${SIM} replay ${journals} RESULT_VARIABLE replay_rc OUTPUT_VARIABLE replay_out
                ERROR_VARIABLE replay_err)
if(NOT replay_rc EQUAL 0)
  message(FATAL_ERROR "mto-sim replay (${replay_rc}):\n${replay_out}${replay_err}")
endif()
message(STATUS "check_journals_replay: ${journal_count} journals of ${scenario_count} scenarios replay as identical")
