# cmake -DMEX_DIR=<build>/octave -DNM=nm -P check_exports.cmake
#
# Every Octave MEX file exports what the built-in host's build of the same
# deliverable exports and nothing else: mexFunction alone, or for a
# constraint deliverable (NAME = ENTRY_mex) mexFunction, ENTRY, its
# _initialize, _terminate and _atexit, and emlrtMexFcnProperties. The
# library beside them exports mxCreateDoubleMatrix_700 alone.

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

file(GLOB mex_files ${MEX_DIR}/*.mex)
list(LENGTH mex_files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no MEX files in ${MEX_DIR}")
endif()

set(failures 0)
foreach(file IN LISTS mex_files ITEMS ${MEX_DIR}/libbipedkin_mx700.so)
  get_filename_component(name ${file} NAME_WE)
  if(name STREQUAL "libbipedkin_mx700")
    set(expected mxCreateDoubleMatrix_700)
  elseif(name MATCHES "^(.+)_mex$")
    set(entry ${CMAKE_MATCH_1})
    set(expected mexFunction emlrtMexFcnProperties ${entry} ${entry}_initialize ${entry}_terminate ${entry}_atexit)
  else()
    set(expected mexFunction)
  endif()
  list(SORT expected)
  defined_symbols(${file} got)
  if(NOT got STREQUAL expected)
    message(SEND_ERROR "${file} exports [${got}], not [${expected}]")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
message(STATUS "${count} MEX files checked, ${failures} with other exports")
