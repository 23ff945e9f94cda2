# Builds every deliverable for MATLAB against a stand-in MATLAB root, through
# the project's own MATLAB recipe (cmake/matlab.cmake, matlab_add_mex):
#
#   cmake -DSOURCE_DIR=... -DHOST_DIR=<build>/bin -DWORK_DIR=... -DGENERATOR=... -DMAKE_PROGRAM=...
#         -DC_COMPILER=... -DCXX_COMPILER=... [-DC_FLAGS=... -DCXX_FLAGS=... -DLINK_FLAGS=...] -P build.cmake
#
# The compilers and flags are the calling build's (a sanitizer build's
# libraries need its MEX files linked with the sanitizer too).
#
# The root, WORK_DIR/root, is laid out as FindMatlab expects a MATLAB
# installation, and filled with our own files: the stand-ins of MATLAB's
# matlab and mexext programs, version function and export list in root/
# next to this script, our mex.h, matrix.h and emlrt.h, and our libmx,
# libmex and libemlrt from HOST_DIR. The MEX files land in
# WORK_DIR/build/matlab.
file(REMOVE_RECURSE ${WORK_DIR})
set(root ${WORK_DIR}/root)
file(COPY ${CMAKE_CURRENT_LIST_DIR}/root/ DESTINATION ${root} USE_SOURCE_PERMISSIONS)
file(COPY ${SOURCE_DIR}/host/include/mex.h ${SOURCE_DIR}/host/include/matrix.h
          ${SOURCE_DIR}/host/emlrt/include/emlrt.h DESTINATION ${root}/extern/include)
file(COPY ${HOST_DIR}/libmx.so ${HOST_DIR}/libmex.so ${HOST_DIR}/libemlrt.so DESTINATION ${root}/bin/glnxa64)

execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
                        "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}" "-DCMAKE_C_COMPILER=${C_COMPILER}"
                        "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_C_FLAGS=${C_FLAGS}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
                        "-DCMAKE_SHARED_LINKER_FLAGS=${LINK_FLAGS}" "-DCMAKE_MODULE_LINKER_FLAGS=${LINK_FLAGS}"
                        "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}" -DCMAKE_BUILD_TYPE=Release -DMatlab_ROOT_DIR=${root}
                        -DBIPEDKIN_BUILD_TESTS=OFF -DBIPEDKIN_BUILD_BENCH=OFF -DBIPEDKIN_OCTAVE=OFF
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc OR NOT out MATCHES "MATLAB MEX files: on")
  message(FATAL_ERROR "configuring against the stand-in MATLAB root failed:\n${out}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build --target matlab_deliverables
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc)
  message(FATAL_ERROR "building the MATLAB MEX files failed:\n${out}")
endif()
