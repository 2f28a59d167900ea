# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when an object file of the vector kernels defines a weak (mergeable) symbol: the
# linker could then keep the copy compiled for one instruction set and call it from code
# built for another, which faults on CPUs without that set.
# Arguments: -DNM=<nm> -DOBJECTS=<object files separated by |>
string(REPLACE "|" ";" objects "${OBJECTS}")
list(LENGTH objects count)
if(count EQUAL 0)
  message(FATAL_ERROR "No vector kernel objects were given.")
endif()
foreach(object IN LISTS objects)
  execute_process(COMMAND "${NM}" --defined-only --demangle "${object}"
    OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(REGEX MATCHALL "[0-9a-f]+ [uVW] [^\n]*" weak "${symbols}")
  if(weak)
    message(FATAL_ERROR "${object} defines weak symbols:\n${weak}")
  endif()
endforeach()
message(STATUS "${count} vector kernel objects define no weak symbols")
