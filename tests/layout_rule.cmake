# The layout rule, checked on every include line:
# - engine/ and dialog/ include no toolkit, database or Windows header;
# - the program (apps/) reaches the databases, the component and the run guard only through the
#   careful host (src/careful_host): no connector, engine, dialog or database header, and none of
#   the guard's own pieces;
# - the benchmarks and the tests use the careful host, never the program's own files.
function(check_includes what pattern)
  set(bad "")
  foreach(source IN LISTS ARGN)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "${pattern}")
        list(APPEND bad "${source}: ${line}")
      endif()
    endforeach()
  endforeach()
  if(bad)
    list(JOIN bad "\n" message)
    message(SEND_ERROR "${what}:\n${message}")
  endif()
endfunction()

file(GLOB_RECURSE component ${ROOT}/src/engine/*.h ${ROOT}/src/engine/*.cpp
                            ${ROOT}/src/dialog/*.h ${ROOT}/src/dialog/*.cpp)
check_includes("engine/ and dialog/ must not include these"
               "<Q[A-Za-z]+|sqlite3|pqxx|libpq|connectors/|platform/|server/|careful_host/|<windows|<ole|<oaidl|<objbase|<dispex"
               ${component})

file(GLOB program ${ROOT}/apps/*/*.h ${ROOT}/apps/*/*.cpp)
check_includes("apps/ must go through the careful host for these"
               "sqlite3|pqxx|libpq|connectors/|engine/|dialog/|server/|careful_host/run_watch"
               ${program})

# A header of the program's own, by its name: nothing outside apps/ may include it.
file(GLOB program_headers RELATIVE ${ROOT}/apps/oquardelino ${ROOT}/apps/oquardelino/*.h)
list(JOIN program_headers "|" names)
string(REPLACE "." "\\." names "${names}")
file(GLOB_RECURSE users ${ROOT}/bench/*.h ${ROOT}/bench/*.cpp ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp
                        ${ROOT}/src/*.h ${ROOT}/src/*.cpp)
check_includes("bench/, tests/ and src/ must not include the program's own headers"
               "\"(${names})\"" ${users})
