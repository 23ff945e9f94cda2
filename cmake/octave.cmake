# GNU Octave as a second host: finds Octave's development files through
# mkoctfile and, when they are there, builds every deliverable a second time
# as an Octave MEX file (octave/CMakeLists.txt).
#
# Sets BIPEDKIN_OCTAVE_ENABLED, and when it is true:
#   BIPEDKIN_OCTAVE_INCLUDE_DIR  the folder of Octave's mex.h (OCTINCLUDEDIR)
#   BIPEDKIN_OCTAVE_LIBRARY      liboctinterp, which defines the mx/mex calls
#   BIPEDKIN_OCTAVE_CLI          octave-cli, which runs the Octave tests

option(BIPEDKIN_OCTAVE "Build the deliverables as Octave MEX files too when Octave's development files are found" ON)
set(BIPEDKIN_OCTAVE_ENABLED FALSE)

function(bipedkin_mkoctfile_value variable out)
  execute_process(COMMAND ${BIPEDKIN_MKOCTFILE} -p ${variable} OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    set(value "")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

if(BIPEDKIN_OCTAVE)
  find_program(BIPEDKIN_MKOCTFILE mkoctfile)
  find_program(BIPEDKIN_OCTAVE_CLI octave-cli)
  if(BIPEDKIN_MKOCTFILE)
    bipedkin_mkoctfile_value(OCTINCLUDEDIR BIPEDKIN_OCTAVE_INCLUDE_DIR)
    bipedkin_mkoctfile_value(OCTLIBDIR octave_library_dir)
    find_library(BIPEDKIN_OCTAVE_LIBRARY octinterp HINTS "${octave_library_dir}" NO_DEFAULT_PATH)
  endif()

  string(REGEX MATCH "-fsanitize=[a-z,]+" sanitizers "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${CMAKE_BUILD_TYPE}}")
  if(NOT BIPEDKIN_MKOCTFILE OR NOT EXISTS "${BIPEDKIN_OCTAVE_INCLUDE_DIR}/mex.h" OR NOT BIPEDKIN_OCTAVE_LIBRARY)
    message(STATUS "Octave MEX files: off (no Octave development files; Debian package liboctave-dev)")
  elseif(sanitizers)
    # An instrumented library needs its sanitizer run time loaded first,
    # which an uninstrumented Octave does not do.
    message(STATUS "Octave MEX files: off (${sanitizers} builds cannot be loaded into Octave)")
  else()
    set(BIPEDKIN_OCTAVE_ENABLED TRUE)
    message(STATUS "Octave MEX files: on (${BIPEDKIN_OCTAVE_INCLUDE_DIR})")
  endif()
endif()
