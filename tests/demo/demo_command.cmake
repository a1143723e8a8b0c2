# Runs `oquardelino demo` as a person would: into a fresh folder, again without and with --force,
# and reads the result with the sqlite3 shell. Arguments: -DPROGRAM=... -DFOLDER=...
file(REMOVE_RECURSE "${FOLDER}")
execute_process(COMMAND "${PROGRAM}" demo --dir "${FOLDER}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "internos\\.db" OR NOT out MATCHES "2024-0101")
  message(FATAL_ERROR "demo failed (${rc}): ${out}${err}")
endif()
execute_process(COMMAND "${PROGRAM}" demo --dir "${FOLDER}" RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR NOT err MATCHES "already exists")
  message(FATAL_ERROR "a second demo should refuse (${rc}): ${err}")
endif()
execute_process(COMMAND "${PROGRAM}" demo --dir "${FOLDER}" --force RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "demo --force failed (${rc})")
endif()
find_program(SQLITE3 sqlite3)
if(SQLITE3)
  execute_process(COMMAND "${SQLITE3}" "${FOLDER}/internos.db"
                          "select count(*) from caratula; select count(*) from subitems;"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "5\n37\n")
    message(FATAL_ERROR "sqlite3 could not read the demo (${rc}): ${out}${err}")
  endif()
endif()
file(REMOVE_RECURSE "${FOLDER}")
