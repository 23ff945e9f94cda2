# MATLAB as a host: when CMake's FindMatlab finds a MATLAB (or one is given
# with -DMatlab_ROOT_DIR=...), every deliverable is built a third time, as
# NAME.<mexext> in <build>/matlab, through matlab_add_mex by the recipe of
# cmake/deliverables.cmake: against MATLAB's own mex.h, libmx and libmex,
# and for the run-time rows its emlrt.h and libemlrt, exporting what the
# other hosts' builds export (and MATLAB's mexfilerequiredapiversion, where
# its version has one).
#
# No MATLAB is on the machines this project is built on: the recipe is
# tested against a stand-in MATLAB root made of our own headers and
# libraries (tests/matlab), laid out as FindMatlab expects.

option(BIPEDKIN_MATLAB "Build the deliverables as MATLAB MEX files when MATLAB is found" ON)
if(BIPEDKIN_MATLAB)
  find_package(Matlab QUIET COMPONENTS MX_LIBRARY)
endif()

if(BIPEDKIN_MATLAB AND Matlab_FOUND)
  find_library(BIPEDKIN_MATLAB_EMLRT_LIBRARY emlrt PATHS ${Matlab_BINARIES_DIR} NO_DEFAULT_PATH)
  if(NOT BIPEDKIN_MATLAB_EMLRT_LIBRARY OR NOT EXISTS ${Matlab_INCLUDE_DIRS}/emlrt.h)
    message(FATAL_ERROR "MATLAB at ${Matlab_ROOT_DIR} has no libemlrt in ${Matlab_BINARIES_DIR} or no emlrt.h in "
                        "${Matlab_INCLUDE_DIRS}: the run-time-built deliverables need both (or -DBIPEDKIN_MATLAB=OFF)")
  endif()
  message(STATUS "MATLAB MEX files: on (${Matlab_ROOT_DIR}, version ${Matlab_VERSION_STRING}, .${Matlab_MEX_EXTENSION})")
  add_library(bipedkin_matlab_emlrt INTERFACE)
  target_link_libraries(bipedkin_matlab_emlrt INTERFACE ${BIPEDKIN_MATLAB_EMLRT_LIBRARY})

  set(BIPEDKIN_HOST_matlab_EMLRT bipedkin_matlab_emlrt)
  set(BIPEDKIN_HOST_matlab_DIR ${PROJECT_BINARY_DIR}/matlab)
  if(NOT Matlab_VERSION_STRING VERSION_LESS "9.1")
    # From R2016b on, matlab_add_mex compiles MATLAB's version function in.
    set(BIPEDKIN_MEX_EXTRA_EXPORTS " mexfilerequiredapiversion;")
  endif()
  bipedkin_add_deliverables(matlab ALL)
elseif(BIPEDKIN_MATLAB)
  message(STATUS "MATLAB MEX files: off (no MATLAB found; -DMatlab_ROOT_DIR=... names one)")
endif()
