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

# --- raise --count and ingest: batches, bad lines, a file and stdin ---
find_program(SQLITE3 sqlite3 REQUIRED)
function(query sql)
  execute_process(COMMAND ${SQLITE3} ${DB} "${sql}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "sqlite3 ${sql}: ${err}")
  endif()
  string(STRIP "${out}" out)
  set(ROWS "${out}" PARENT_SCOPE)
endfunction()

set(MOI "/systemId=name:\"vm\"/linkId=string:\"a\"")
# 2 500 alarms cross two batch ends; each id printed once, in order.
run(0 raise --log AlarmLog --type communicationsAlarm --severity major --moi ${MOI} --moc link --cause 3
    --text flood --count 2500)
string(REGEX MATCHALL "[0-9]+\n" ids "${OUT}")
list(LENGTH ids n)
list(GET ids 0 first)
list(GET ids 2499 last)
if(NOT n EQUAL 2500 OR NOT first STREQUAL "1\n" OR NOT last STREQUAL "2500\n")
  message(FATAL_ERROR "raise --count 2500 gave ${n} ids, first ${first}, last ${last}")
endif()
query("SELECT COUNT(*), COUNT(DISTINCT logrecordid), MAX(logrecordid) FROM nxalm_1")
if(NOT ROWS STREQUAL "2500|2500|2500")
  message(FATAL_ERROR "raise --count 2500 stored: ${ROWS}")
endif()

set(A "\"type\":\"communicationsAlarm\",\"moi\":\"/systemId=name:\\\"vm\\\"\",\"moc\":\"link\",\"cause\":3")
file(WRITE ${WORK}/in.jsonl
  "{\"log\":\"AlarmLog\",\"severity\":\"major\",${A},\"text\":\"one\"}\n"
  "{\"log\":\"AlarmLog\",\"severity\":\"major\"\n"
  "{\"log\":42,\"severity\":\"minor\",${A},\"text\":\"two\"}\n"
  "{\"log\":\"AlarmLog\",${A},\"text\":\"no severity\"}\n"
  "{\"log\":\"Nope\",\"severity\":\"major\",${A}}\n"
  "{\"log\":\"AlarmLog\",\"severity\":\"loud\",${A}}\n"
  "{\"log\":\"AlarmLog\",\"severity\":\"critical\",${A},\"text\":\"three\",\"eventTime\":\"2024-05-01 13:45:00\"}\n"
  "\n"
  "{\"log\":\"AlarmLog\",\"severity\":\"critical\",${A},\"txt\":\"misspelt\"}\n"
  "{\"log\":\"AlarmLog\",\"severity\":\"warning\",${A},\"text\":\"four\"}\r\n"
  "{\"log\":\"AlarmLog\",\"severity\":\"warning\",${A},\"eventTime\":\"2024-13-01 00:00:00\"}")
# Batches of two: good and bad lines fall on both sides of batch ends.
run(1 ingest ${WORK}/in.jsonl --batch 2)
string(REGEX MATCHALL "line [0-9]+: [^\n]*" skipped "${OUT}")
list(TRANSFORM skipped REPLACE ": .*" "")
if(NOT skipped STREQUAL "line 2;line 4;line 5;line 6;line 9;line 11")
  message(FATAL_ERROR "ingest reported: ${skipped}\n${OUT}")
endif()
foreach(expected "line 2: not valid JSON" "line 4: missing field \"severity\"" "line 5: no such log"
                 "line 6: not a valid alarm" "line 9: unknown field \"txt\"" "line 11: not an event time"
                 "read 10, raised 4, skipped 6")
  string(FIND "${OUT}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "ingest output lacks '${expected}':\n${OUT}")
  endif()
endforeach()
query("SELECT logrecordid, additionaltext, eventtime FROM nxalm_1 WHERE logrecordid > 2500 ORDER BY logrecordid")
if(NOT ROWS MATCHES "^2501\\|one\\|[^\n]*\n2502\\|three\\|2024-05-01 13:45:00\n2503\\|four\\|[^\n]*$")
  message(FATAL_ERROR "ingest stored in AlarmLog:\n${ROWS}")
endif()
query("SELECT logrecordid, additionaltext FROM nxalm_2")
if(NOT ROWS STREQUAL "1|two")
  message(FATAL_ERROR "ingest stored in log 42: ${ROWS}")
endif()

# Standard input, every line good: status 0. Some 190 KB, so that lines
# straddle the ends of the reader's 64 KiB reads.
set(pad "................................................................................")
set(lines "")
foreach(i RANGE 1 1200)
  string(APPEND lines "{\"log\":\"AlarmLog\",\"severity\":\"minor\",${A},\"text\":\"in ${i} ${pad}\"}\n")
endforeach()
file(WRITE ${WORK}/good.jsonl "${lines}")
execute_process(COMMAND ${TOOL} --db ${DB} ingest - --batch 7 INPUT_FILE ${WORK}/good.jsonl
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^read 1200, raised 1200, skipped 0")
  message(FATAL_ERROR "ingest - : exit ${rc}\n${out}${err}")
endif()
query("SELECT COUNT(DISTINCT additionaltext), MIN(additionaltext), MAX(logrecordid),
  SUM(additionaltext = 'in ' || (logrecordid - 2503) || ' ${pad}') FROM nxalm_1 WHERE logrecordid > 2503")
if(NOT ROWS STREQUAL "1200|in 1 ${pad}|3703|1200")
  message(FATAL_ERROR "ingest - stored: ${ROWS}")
endif()

# A batch the database refuses stops the ingest: its lines are reported not
# raised and none of them is stored; the batches before it stay.
execute_process(COMMAND ${SQLITE3} ${DB} "CREATE TRIGGER poison BEFORE INSERT ON nxalm_1
  WHEN NEW.additionaltext = 'poison' BEGIN SELECT RAISE(ABORT, 'poisoned'); END;" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not make the trigger")
endif()
query("SELECT MAX(logrecordid) FROM nxalm_1")
set(before ${ROWS})
set(lines "")
foreach(text ok1 ok2 ok3 poison ok5 ok6)
  string(APPEND lines "{\"log\":\"AlarmLog\",\"severity\":\"minor\",${A},\"text\":\"${text}\"}\n")
endforeach()
file(WRITE ${WORK}/poison.jsonl "${lines}")
run(1 ingest ${WORK}/poison.jsonl --batch 2)
if(NOT OUT MATCHES "lines 3 to 4 not raised: [^\n]*poisoned" OR NOT OUT MATCHES "raised 2,")
  message(FATAL_ERROR "ingest of a refused batch reported:\n${OUT}")
endif()
query("SELECT additionaltext FROM nxalm_1 WHERE logrecordid > ${before} ORDER BY logrecordid")
if(NOT ROWS STREQUAL "ok1\nok2")
  message(FATAL_ERROR "ingest of a refused batch stored: ${ROWS}")
endif()
execute_process(COMMAND ${SQLITE3} ${DB} "DROP TRIGGER poison")

run(1 ingest ${WORK}/absent.jsonl)
if(NOT OUT MATCHES "cannot open")
  message(FATAL_ERROR "unexpected message: ${OUT}")
endif()
run(2 ingest a.jsonl b.jsonl)
run(2 ingest --batch 0)
file(REMOVE_RECURSE ${WORK})
