# cmake -DMEX_DIR=DIR -DSUFFIX=mex -DNM=nm [-DEXTRA=names] [-DCOUNT=n] -P check_exports.cmake
#
# Every MEX file DIR/*.SUFFIX of a host exports what the built-in host's
# build of the same deliverable exports and nothing else: mexFunction alone,
# or for a run-time-built deliverable (NAME = ENTRY_mex) mexFunction, ENTRY,
# its _initialize, _terminate and _atexit, and emlrtMexFcnProperties; and
# the EXTRA names the host itself asks of every MEX file. A library
# libbipedkin_mx700.so beside them (Octave's) exports mxCreateDoubleMatrix_700
# alone. COUNT, when given, is how many MEX files there must be.

function(defined_symbols file out)
  execute_process(COMMAND ${NM} -D --defined-only ${file} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${file}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${listing}")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" name "${line}")
    list(APPEND names ${name})
  endforeach()
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

file(GLOB mex_files ${MEX_DIR}/*.${SUFFIX})
list(LENGTH mex_files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no MEX files in ${MEX_DIR}")
endif()
if(DEFINED COUNT AND NOT count EQUAL COUNT)
  message(SEND_ERROR "${count} MEX files in ${MEX_DIR}, not ${COUNT}")
endif()
set(others "")
if(EXISTS ${MEX_DIR}/libbipedkin_mx700.so)
  set(others ${MEX_DIR}/libbipedkin_mx700.so)
endif()

set(failures 0)
foreach(file IN LISTS mex_files others)
  get_filename_component(name ${file} NAME_WE)
  if(name STREQUAL "libbipedkin_mx700")
    set(expected mxCreateDoubleMatrix_700)
  elseif(name MATCHES "^(.+)_mex$")
    set(entry ${CMAKE_MATCH_1})
    set(expected mexFunction emlrtMexFcnProperties ${entry} ${entry}_initialize ${entry}_terminate ${entry}_atexit ${EXTRA})
  else()
    set(expected mexFunction ${EXTRA})
  endif()
  list(SORT expected)
  defined_symbols(${file} got)
  if(NOT got STREQUAL expected)
    message(SEND_ERROR "${file} exports [${got}], not [${expected}]")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
message(STATUS "${count} MEX files checked, ${failures} with other exports")
