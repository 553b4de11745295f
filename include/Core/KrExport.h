// Symbol export and C-linkage helpers for the public interface of libKrStd.
#pragma once

/// Marks a class or function as part of the shared library's exported interface.
#define KRSTD_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define KRSTD_EXTERN_C extern "C"
#else
#define KRSTD_EXTERN_C
#endif
