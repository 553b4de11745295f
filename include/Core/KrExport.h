// Symbol export and C-linkage helpers for the public interface of libKrStd.
#pragma once

/// Marks a class or function as part of the shared library's exported interface.
#define KRSTD_API __attribute__((visibility("default")))

/// Exports an internal function for the library's own tests, benchmarks and fuzz targets. Such
/// functions are declared in private headers under src/ only and are no part of the interface.
#define KRSTD_TEST_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define KRSTD_EXTERN_C extern "C"
#else
#define KRSTD_EXTERN_C
#endif
