# Runs nxalarm-db end to end on a fresh database: init, a string log, a
# number log, and the refusals that must leave the database unchanged.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(DB ${WORK}/tool.db)

function(run expect_rc)
  execute_process(COMMAND ${TOOL} --db ${DB} ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL expect_rc)
    message(FATAL_ERROR "nxalarm-db ${ARGN}: exit ${rc}, expected ${expect_rc}\n${out}${err}")
  endif()
  set(OUT "${out}${err}" PARENT_SCOPE)
endfunction()

run(1 create-log AlarmLog)            # no database yet
if(EXISTS ${DB})
  message(FATAL_ERROR "create-log made a database file without init")
endif()
run(0 init)
run(0 init)                           # repeatable
run(0 create-log AlarmLog)
if(NOT OUT MATCHES "AlarmLog nxAlm: nxalm_1")
  message(FATAL_ERROR "unexpected create-log output: ${OUT}")
endif()
run(0 create-log 42 --number)
if(NOT OUT MATCHES "42 NrvCt: nrvct_2")
  message(FATAL_ERROR "unexpected create-log output: ${OUT}")
endif()
run(1 create-log AlarmLog)            # already there
if(NOT OUT MATCHES "already exists")
  message(FATAL_ERROR "unexpected message: ${OUT}")
endif()
run(1 create-log abc --number)
run(2 create-log)
run(2 create-log x --numbers)
run(2 frobnicate)
file(REMOVE_RECURSE ${WORK})
