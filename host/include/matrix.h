/* The matrix library of the built-in host (libmx): the array type the host
 * and the deliverables exchange, and the functions that create and inspect
 * it. Written for this project from the documented behaviour of the MEX
 * matrix API; only what the deliverables, their tests and our tools use.
 *
 * Arrays have a class, a complexity (real data, optionally imaginary data),
 * a storage (full, or compressed-column sparse for double and logical) and
 * any number of dimensions (at least two). Numeric data is column-major.
 */
#ifndef BIPEDKIN_HOST_MATRIX_H
#define BIPEDKIN_HOST_MATRIX_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

/* The host's functions are exported from its libraries, and mexFunction
 * from each deliverable. */
#pragma GCC visibility push(default)

#ifdef __cplusplus
extern "C" {
#endif

typedef struct mxArray_tag mxArray;

typedef size_t mwSize;
typedef size_t mwIndex;
typedef ptrdiff_t mwSignedIndex;
typedef bool mxLogical;
typedef uint16_t mxChar;

typedef enum {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS,
  mxSTRUCT_CLASS,
  mxLOGICAL_CLASS,
  mxCHAR_CLASS,
  mxVOID_CLASS,
  mxDOUBLE_CLASS,
  mxSINGLE_CLASS,
  mxINT8_CLASS,
  mxUINT8_CLASS,
  mxINT16_CLASS,
  mxUINT16_CLASS,
  mxINT32_CLASS,
  mxUINT32_CLASS,
  mxINT64_CLASS,
  mxUINT64_CLASS,
  mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

/* Memory. Blocks allocated during a call belong to that call and are freed
 * when it ends unless they have been attached to an array it returns. */
void* mxMalloc(size_t n);
void* mxCalloc(size_t n, size_t size);
void* mxRealloc(void* ptr, size_t size);
void mxFree(void* ptr);

/* Creation. Numeric data is zero-filled. */
mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag);
mxArray* mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag);
mxArray* mxCreateDoubleScalar(double value);
mxArray* mxCreateNumericMatrix(mwSize m, mwSize n, mxClassID classid, mxComplexity flag);
mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID classid, mxComplexity flag);
mxArray* mxCreateLogicalMatrix(mwSize m, mwSize n);
mxArray* mxCreateLogicalArray(mwSize ndim, const mwSize* dims);
mxArray* mxCreateLogicalScalar(mxLogical value);
mxArray* mxCreateString(const char* text);
mxArray* mxCreateCharArray(mwSize ndim, const mwSize* dims);
mxArray* mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity flag);
mxArray* mxCreateSparseLogicalMatrix(mwSize m, mwSize n, mwSize nzmax);
mxArray* mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char** fieldnames);
mxArray* mxCreateStructArray(mwSize ndim, const mwSize* dims, int nfields, const char** fieldnames);
mxArray* mxCreateCellMatrix(mwSize m, mwSize n);
mxArray* mxCreateCellArray(mwSize ndim, const mwSize* dims);
mxArray* mxDuplicateArray(const mxArray* array);
void mxDestroyArray(mxArray* array);

/* Shape. mxGetN is the product of every dimension after the first. */
mwSize mxGetM(const mxArray* array);
mwSize mxGetN(const mxArray* array);
mwSize mxGetNumberOfDimensions(const mxArray* array);
const mwSize* mxGetDimensions(const mxArray* array);
size_t mxGetNumberOfElements(const mxArray* array);
size_t mxGetElementSize(const mxArray* array);
int mxSetDimensions(mxArray* array, const mwSize* dims, mwSize ndim);
void mxSetM(mxArray* array, mwSize m);
void mxSetN(mxArray* array, mwSize n);
bool mxIsEmpty(const mxArray* array);

/* Class and storage. */
mxClassID mxGetClassID(const mxArray* array);
const char* mxGetClassName(const mxArray* array);
bool mxIsDouble(const mxArray* array);
bool mxIsSingle(const mxArray* array);
bool mxIsNumeric(const mxArray* array);
bool mxIsLogical(const mxArray* array);
bool mxIsChar(const mxArray* array);
bool mxIsStruct(const mxArray* array);
bool mxIsCell(const mxArray* array);
bool mxIsInt8(const mxArray* array);
bool mxIsUint8(const mxArray* array);
bool mxIsInt16(const mxArray* array);
bool mxIsUint16(const mxArray* array);
bool mxIsInt32(const mxArray* array);
bool mxIsUint32(const mxArray* array);
bool mxIsInt64(const mxArray* array);
bool mxIsUint64(const mxArray* array);
bool mxIsComplex(const mxArray* array);
bool mxIsSparse(const mxArray* array);

/* Data. For sparse arrays the data holds the nonzero values, with their row
 * indices in Ir and the column starts in Jc (n + 1 entries). */
double* mxGetPr(const mxArray* array);
double* mxGetPi(const mxArray* array);
void* mxGetData(const mxArray* array);
void* mxGetImagData(const mxArray* array);
void mxSetData(mxArray* array, void* data);
mxLogical* mxGetLogicals(const mxArray* array);
mxChar* mxGetChars(const mxArray* array);
double mxGetScalar(const mxArray* array);
mwIndex* mxGetIr(const mxArray* array);
mwIndex* mxGetJc(const mxArray* array);
mwSize mxGetNzmax(const mxArray* array);
char* mxArrayToString(const mxArray* array);

/* Structures and cells. */
int mxGetNumberOfFields(const mxArray* array);
const char* mxGetFieldNameByNumber(const mxArray* array, int field);
int mxGetFieldNumber(const mxArray* array, const char* name);
mxArray* mxGetField(const mxArray* array, mwIndex index, const char* name);
mxArray* mxGetFieldByNumber(const mxArray* array, mwIndex index, int field);
void mxSetField(mxArray* array, mwIndex index, const char* name, mxArray* value);
void mxSetFieldByNumber(mxArray* array, mwIndex index, int field, mxArray* value);
mxArray* mxGetCell(const mxArray* array, mwIndex index);
void mxSetCell(mxArray* array, mwIndex index, mxArray* value);

#ifdef __cplusplus
}
#endif

#pragma GCC visibility pop

#endif
