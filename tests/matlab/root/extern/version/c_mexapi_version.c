/* A stand-in for the version function MATLAB compiles into every MEX file
 * (R2016b and later): it tells MATLAB which release built the file and
 * which API it targets. */
#include "mex.h"

__attribute__((visibility("default"))) void mexfilerequiredapiversion(unsigned int* built_by_release,
                                                                       unsigned int* target_api_version) {
  *built_by_release = 0x2023a;
  *target_api_version = 0x07300000;
}
