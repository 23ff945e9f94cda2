# The deliverables, built from the one list of evaluators for any host.
#
# Reads gateway/evaluators.def once and sets
#   BIPEDKIN_EVALUATORS          every row's name, in order
#   BIPEDKIN_KIND_<name>         gateway or runtime
#   BIPEDKIN_ENTRY_<name>        a run-time row's entry point (the name without _mex)
#   BIPEDKIN_DELIVERABLES        the rows and bipedkin_batch: every MEX file of a host
#
# bipedkin_add_deliverable(NAME HOST host) adds one MEX file for one host:
#   builtin  <build>/bin/NAME.so against our libmx, libmex and libemlrt
#   octave   <build>/octave/NAME.mex against Octave (targets of octave/CMakeLists.txt)
#   matlab   <build>/matlab/NAME.<mexext> through matlab_add_mex (cmake/matlab.cmake)
# A gateway row compiles gateway/entry.cpp and exports mexFunction alone; a
# run-time row compiles constraints/deliverable.cpp with its stored build
# properties and exports mexFunction, its entry point with _initialize,
# _terminate and _atexit, and emlrtMexFcnProperties; bipedkin_batch compiles
# batch/batch_mex.cpp over the C library.

set(bipedkin_list ${PROJECT_SOURCE_DIR}/gateway/evaluators.def)
file(STRINGS ${bipedkin_list} bipedkin_rows REGEX "^BIPEDKIN_EVALUATOR\\(")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${bipedkin_list})
set(BIPEDKIN_EVALUATORS "")
foreach(row IN LISTS bipedkin_rows)
  if(NOT row MATCHES "^BIPEDKIN_EVALUATOR\\(([a-z0-9_]+), (gateway|runtime), ")
    message(FATAL_ERROR "gateway/evaluators.def: a row CMake cannot read: ${row}")
  endif()
  list(APPEND BIPEDKIN_EVALUATORS ${CMAKE_MATCH_1})
  set(BIPEDKIN_KIND_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  string(REGEX REPLACE "_mex$" "" BIPEDKIN_ENTRY_${CMAKE_MATCH_1} ${CMAKE_MATCH_1})
endforeach()
set(BIPEDKIN_DELIVERABLES ${BIPEDKIN_EVALUATORS} bipedkin_batch)

# What every host's build of a run-time row shares: its stored build
# properties (generated source) and its export list, in
# <build>/generated/NAME, made by the target bipedkin_properties_NAME.
find_package(ZLIB REQUIRED)
add_executable(bipedkin_make_properties ${PROJECT_SOURCE_DIR}/constraints/make_properties.cpp)
target_include_directories(bipedkin_make_properties PRIVATE ${PROJECT_SOURCE_DIR}/host/emlrt/include)
target_link_libraries(bipedkin_make_properties PRIVATE ZLIB::ZLIB)
set_target_properties(bipedkin_make_properties PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/generated)

set(bipedkin_resolved_functions ${PROJECT_SOURCE_DIR}/constraints/resolved_functions.txt)
foreach(name IN LISTS BIPEDKIN_EVALUATORS)
  if(NOT BIPEDKIN_KIND_${name} STREQUAL "runtime")
    continue()
  endif()
  set(entry ${BIPEDKIN_ENTRY_${name}})
  set(generated ${PROJECT_BINARY_DIR}/generated/${name})
  add_custom_command(
    OUTPUT ${generated}/resolved_functions.inc
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
    COMMAND bipedkin_make_properties ${bipedkin_resolved_functions} ${entry} ${generated}/resolved_functions.inc
    DEPENDS bipedkin_make_properties ${bipedkin_resolved_functions}
    COMMENT "Storing the build properties of ${name}"
    VERBATIM)
  add_custom_target(bipedkin_properties_${name} DEPENDS ${generated}/resolved_functions.inc)
  set(ENTRY ${entry})
  configure_file(${PROJECT_SOURCE_DIR}/constraints/exports.map.in ${generated}/exports.map @ONLY)
endforeach()

# A host's MEX interface, for bipedkin_add_deliverable: per host, the
# libraries a deliverable links (API) and a run-time row links too (EMLRT),
# and where its MEX files go (DIR, SUFFIX).
set(BIPEDKIN_HOST_builtin_API bipedkin_mex)
set(BIPEDKIN_HOST_builtin_EMLRT bipedkin_emlrt)
set(BIPEDKIN_HOST_builtin_DIR ${BIPEDKIN_MEX_DIR})
set(BIPEDKIN_HOST_builtin_SUFFIX .so)

function(bipedkin_add_deliverable name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "HOST" "")
  set(host ${arg_HOST})
  if(host STREQUAL "builtin")
    set(target ${name})
  else()
    set(target ${host}_${name})
  endif()

  set(definitions "")
  set(includes "")
  set(libraries "")
  set(exports ${PROJECT_SOURCE_DIR}/gateway/exports.map)
  if(name STREQUAL "bipedkin_batch")
    set(sources ${PROJECT_SOURCE_DIR}/batch/batch_mex.cpp)
    set(libraries bipedkin_static)
  elseif(BIPEDKIN_KIND_${name} STREQUAL "gateway")
    set(sources ${PROJECT_SOURCE_DIR}/gateway/entry.cpp)
    set(definitions BIPEDKIN_DELIVERABLE_NAME=${name})
  elseif(BIPEDKIN_KIND_${name} STREQUAL "runtime")
    set(generated ${PROJECT_BINARY_DIR}/generated/${name})
    set(sources ${PROJECT_SOURCE_DIR}/constraints/deliverable.cpp)
    set(definitions BIPEDKIN_DELIVERABLE_NAME=${name} BIPEDKIN_CONSTRAINT_ENTRY=${BIPEDKIN_ENTRY_${name}})
    set(includes ${generated})
    set(libraries ${BIPEDKIN_HOST_${host}_EMLRT})
    set(exports ${generated}/exports.map)
  else()
    message(FATAL_ERROR "bipedkin_add_deliverable: no row ${name}")
  endif()

  if(host STREQUAL "matlab")
    matlab_add_mex(NAME ${target} MODULE SRC ${sources} OUTPUT_NAME ${name}
                   LINK_TO bipedkin_model ${libraries})
    # MATLAB's own export list would hide the run-time rows' entry points:
    # ours replaces it, with MATLAB's version function where the MEX file
    # has one.
    if(BIPEDKIN_MEX_EXTRA_EXPORTS)
      set(map ${PROJECT_BINARY_DIR}/generated/matlab/${name}.map)
      file(READ ${exports} content)
      string(REPLACE "global: mexFunction;" "global: mexFunction;${BIPEDKIN_MEX_EXTRA_EXPORTS}" content "${content}")
      file(CONFIGURE OUTPUT ${map} CONTENT "${content}")
      set(exports ${map})
    endif()
    set_target_properties(${target} PROPERTIES LINK_FLAGS "-Wl,--version-script,${exports} -Wl,--no-undefined")
  else()
    add_library(${target} MODULE ${sources})
    target_link_libraries(${target} PRIVATE bipedkin_model ${BIPEDKIN_HOST_${host}_API} ${libraries})
    target_link_options(${target} PRIVATE -Wl,--version-script=${exports} ${BIPEDKIN_PLUGIN_LINK_OPTIONS})
  endif()
  target_compile_definitions(${target} PRIVATE ${definitions})
  target_include_directories(${target} PRIVATE ${includes})
  if(BIPEDKIN_KIND_${name} STREQUAL "runtime")
    add_dependencies(${target} bipedkin_properties_${name})
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${BIPEDKIN_HOST_${host}_DIR}
                        LINK_DEPENDS ${exports} BUILD_RPATH "$ORIGIN" INSTALL_RPATH "$ORIGIN")
  if(NOT host STREQUAL "matlab")
    set_target_properties(${target} PROPERTIES SUFFIX ${BIPEDKIN_HOST_${host}_SUFFIX})
  endif()
  add_dependencies(${host}_deliverables ${target})
endfunction()

# Every deliverable for one host, gathered in the target <host>_deliverables.
function(bipedkin_add_deliverables host)
  add_custom_target(${host}_deliverables ${ARGN})
  foreach(name IN LISTS BIPEDKIN_DELIVERABLES)
    bipedkin_add_deliverable(${name} HOST ${host})
  endforeach()
endfunction()
