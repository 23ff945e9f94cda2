# Installs the build into a fresh prefix, builds the consumer against it with
# find_package(bipedkin) and runs it. Needs BUILD_DIR, SOURCE_DIR, WORK_DIR;
# FLAGS and LINK_FLAGS are the build's own (a sanitizer build's consumer must
# be instrumented too), and so are GENERATOR, MAKE_PROGRAM, C_COMPILER and
# CXX_COMPILER.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix --component bipedkin_library
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
                        "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}" "-DCMAKE_C_COMPILER=${C_COMPILER}"
                        "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
                        "-DCMAKE_C_FLAGS=${FLAGS}" "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}"
                        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc)
  message(FATAL_ERROR "configuring the consumer failed:\n${out}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc)
  message(FATAL_ERROR "building the consumer failed:\n${out}")
endif()
foreach(program consumer consumer_static)
  execute_process(COMMAND ${WORK_DIR}/build/${program} RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  set(expected "0.030600000000000006\n0.1305\n-1.1312\nno evaluator named 'pos_nose_l' (the closest are pos_toe_l, pos_knee_l, pos_ankle_l)\n")
  if(rc OR NOT out STREQUAL expected)
    message(FATAL_ERROR "${program} printed:\n${out}\nexpected:\n${expected}")
  endif()
endforeach()
