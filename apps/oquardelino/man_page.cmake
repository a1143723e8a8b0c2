# Writes the man page of the program: the page oquardelino.1.in with its version and the COMMANDS
# section that the program itself writes from its command definitions (`PROGRAM man-page`), so
# that the options cannot drift from what it accepts. The page is installed compressed as
# Debian's are (gzip -9n).
# Arguments: -DPROGRAM=... -DTEMPLATE=... -DVERSION=... -DGZIP=... -DOUTPUT=... (the .1.gz to write)
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${PROGRAM}" man-page OUTPUT_VARIABLE commands RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT commands MATCHES "\\.SS copy\n")
  message(FATAL_ERROR "${PROGRAM} man-page failed (${rc}):\n${commands}")
endif()
file(READ "${TEMPLATE}" page)
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@COMMANDS@\n" "${commands}" page "${page}")
string(REGEX REPLACE "\\.gz$" "" manual "${OUTPUT}")
file(WRITE "${manual}" "${page}")
execute_process(COMMAND "${GZIP}" -9nf "${manual}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed (${rc})")
endif()
