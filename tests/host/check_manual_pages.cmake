# Each manual page of PAGES (a list) as man sets it: groff with every
# warning on must say nothing.
foreach(page IN LISTS PAGES)
  execute_process(COMMAND groff -man -Tutf8 -ww -z ${page}
                  RESULT_VARIABLE result ERROR_VARIABLE warnings)
  if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "${page}: groff says:\n${warnings}")
  endif()
endforeach()
