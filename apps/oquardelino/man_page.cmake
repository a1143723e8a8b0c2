# Writes the man page of the program from its own help: help2man on `PROGRAM --help`, with a
# COMMANDS section made of `PROGRAM COMMAND --help` for each command that help lists.
# The page is installed gzip-compressed, as Debian's man pages are.
# Arguments: -DPROGRAM=... -DHELP2MAN=... -DVERSION=... -DOUTPUT=... (the .1.gz to write)
execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${rc})")
endif()
string(REGEX MATCH "[Ss][Uu][Bb][Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:\n(  [^\n]*\n)+" listing "${help}")
string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" commands "${listing}")
if(NOT commands)
  message(FATAL_ERROR "no commands found in the help of ${PROGRAM}:\n${help}")
endif()

set(include "[COMMANDS]\n")
foreach(command IN LISTS commands)
  string(STRIP "${command}" command)
  execute_process(COMMAND "${PROGRAM}" ${command} --help OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${command} --help failed (${rc})")
  endif()
  # The help names the program by the path it was run from; the page names it by its name.
  string(REPLACE "${PROGRAM}" "oquardelino" text "${text}")
  # roff: a backslash is written \e, and a line may not start with a dot or a quote.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(APPEND include ".SS ${command}\n.nf\n${text}.fi\n")
endforeach()
get_filename_component(folder "${OUTPUT}" DIRECTORY)
file(WRITE "${folder}/man_commands.h2m" "${include}")

get_filename_component(name "${PROGRAM}" NAME)
execute_process(
  COMMAND "${HELP2MAN}" --no-info --section=1 --version-string=${VERSION}
          --name "copy customs dispatch files (internos) inside a database"
          --include "${folder}/man_commands.h2m" --output "${folder}/oquardelino.1" "${PROGRAM}"
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed (${rc}): ${err}")
endif()
file(ARCHIVE_CREATE OUTPUT "${OUTPUT}" PATHS "${folder}/oquardelino.1" FORMAT raw COMPRESSION GZip)
