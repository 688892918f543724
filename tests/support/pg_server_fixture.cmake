# The CTest fixture around the tests' PostgreSQL server, run with cmake -P:
#   -DMODE=start|stop -DSCRIPT=<pg_test_server.sh> -DENV_FILE=<file>
# start: starts a server and writes its PG_* lines to ENV_FILE. When no server
# can start, it fails if CI is "true"; otherwise it passes, writes no ENV_FILE
# and leaves the reason in ENV_FILE.unavailable for the tests' skip message.
# stop: stops the server named in ENV_FILE and removes both files.
cmake_minimum_required(VERSION 3.25)

# Stops the server ENV_FILE names; a failure is reported at LEVEL.
function(stop_listed_server level)
  if(NOT EXISTS "${ENV_FILE}")
    return()
  endif()
  file(STRINGS "${ENV_FILE}" lines REGEX "^PG_DIR=")
  file(REMOVE "${ENV_FILE}")
  if(lines MATCHES "^PG_DIR=(.+)$")
    execute_process(COMMAND "${SCRIPT}" stop "${CMAKE_MATCH_1}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(${level} "could not stop the test server in ${CMAKE_MATCH_1}")
    endif()
  endif()
endfunction()

if(MODE STREQUAL "start")
  # A server a previous run left behind (its cleanup never ran).
  stop_listed_server(WARNING)
  file(REMOVE "${ENV_FILE}.unavailable")
  execute_process(COMMAND "${SCRIPT}" start
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0 AND out MATCHES "PG_DIR=")
    file(WRITE "${ENV_FILE}" "${out}")
    message(STATUS "PostgreSQL test server:\n${out}")
    return()
  endif()
  string(STRIP "${err}" err)
  if(err STREQUAL "")
    set(err "pg_test_server.sh start exited with ${rc}")
  endif()
  if("$ENV{CI}" STREQUAL "true")
    message(FATAL_ERROR "no PostgreSQL test server (required in CI):\n${err}")
  endif()
  file(WRITE "${ENV_FILE}.unavailable" "${err}\n")
  message(STATUS "no PostgreSQL test server; its tests will skip:\n${err}")
elseif(MODE STREQUAL "stop")
  stop_listed_server(SEND_ERROR)
  file(REMOVE "${ENV_FILE}.unavailable")
else()
  message(FATAL_ERROR "MODE must be start or stop")
endif()
