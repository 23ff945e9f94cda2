# MATLAB as a host: when CMake's FindMatlab finds an installed MATLAB, every
# deliverable is built a third time with matlab_add_mex, as NAME.mexa64 in
# <build>/matlab, from the same sources (compiled against MATLAB's mex.h).
#
# Untested: the machines this project is built and tested on have no
# MATLAB, so this path has only been seen to stay out of the way when MATLAB
# is missing. The constraint deliverables get our run-time library compiled
# in (bound inside the MEX file, whatever libemlrt MATLAB has loaded), and
# export only mexFunction there: matlab_add_mex applies MATLAB's own export
# list.

option(BIPEDKIN_MATLAB "Build the deliverables as MATLAB MEX files when MATLAB is found" ON)
if(BIPEDKIN_MATLAB)
  find_package(Matlab QUIET COMPONENTS MX_LIBRARY)
endif()

if(BIPEDKIN_MATLAB AND Matlab_FOUND)
  message(STATUS "MATLAB MEX files: on (${Matlab_ROOT_DIR}; this build path is untested)")
  set(BIPEDKIN_MATLAB_DIR ${PROJECT_BINARY_DIR}/matlab)
  add_custom_target(matlab_deliverables ALL)

  foreach(name IN LISTS BIPEDKIN_DELIVERABLES)
    matlab_add_mex(NAME matlab_${name} MODULE SRC ${PROJECT_SOURCE_DIR}/gateway/entry.cpp
                   OUTPUT_NAME ${name} LINK_TO bipedkin_model)
    target_compile_definitions(matlab_${name} PRIVATE BIPEDKIN_DELIVERABLE_NAME=${name})
    set_target_properties(matlab_${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${BIPEDKIN_MATLAB_DIR})
    add_dependencies(matlab_deliverables matlab_${name})
  endforeach()

  # The run time's header includes "mex.h", which next to it is the built-in
  # host's: it is used from a copy in a folder of its own.
  find_package(ZLIB REQUIRED)
  set(matlab_emlrt_include ${PROJECT_BINARY_DIR}/matlab-generated/include)
  configure_file(${PROJECT_SOURCE_DIR}/host/include/emlrt.h ${matlab_emlrt_include}/emlrt.h COPYONLY)
  configure_file(${PROJECT_SOURCE_DIR}/host/include/bipedkin/emlrt_record.hpp
                 ${matlab_emlrt_include}/bipedkin/emlrt_record.hpp COPYONLY)
  foreach(name IN LISTS BIPEDKIN_CONSTRAINT_DELIVERABLES)
    string(REGEX REPLACE "_mex$" "" entry ${name})
    matlab_add_mex(NAME matlab_${name} MODULE OUTPUT_NAME ${name} LINK_TO bipedkin_model ZLIB::ZLIB
                   SRC ${PROJECT_SOURCE_DIR}/constraints/deliverable.cpp ${PROJECT_SOURCE_DIR}/host/src/emlrt.cpp
                       ${PROJECT_SOURCE_DIR}/host/src/emlrt_capture.cpp ${PROJECT_SOURCE_DIR}/host/src/emlrt_record.cpp)
    target_compile_definitions(matlab_${name} PRIVATE BIPEDKIN_CONSTRAINT_ENTRY=${entry})
    target_include_directories(matlab_${name} PRIVATE ${matlab_emlrt_include}
                               ${PROJECT_BINARY_DIR}/constraints/${name})
    set_target_properties(matlab_${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${BIPEDKIN_MATLAB_DIR})
    add_dependencies(matlab_${name} ${name})
    add_dependencies(matlab_deliverables matlab_${name})
  endforeach()
elseif(BIPEDKIN_MATLAB)
  message(STATUS "MATLAB MEX files: off (no MATLAB found)")
endif()
