// Free functions over streams: checked close/flush/read/write, copying, comparing, sampling CRC.
#pragma once

#include "Streams/KrStream.h"

#include <cstdint>
#include <string>

class TKrProgressHandler;

/// Close / Flush; false throws "Err_Write_name" with the stream's information name.
KRSTD_API void CloseE(TKrStream* stream);
KRSTD_API void FlushE(TKrStream* stream);
/// One Read of n bytes; any other count throws "Err_Read_name" with `name`.
KRSTD_API void ReadStreamE(TKrStream* stream, void* buf, streamsize_t n, const char* name);
/// One Write of the text; a short count gives false / throws "Err_WriteStream".
KRSTD_API bool WriteString(TKrStream* stream, const std::string& s);
KRSTD_API bool WriteString(TKrStream* stream, const char* s);
KRSTD_API void WriteStringE(TKrStream* stream, const std::string& s);
KRSTD_API void WriteStringE(TKrStream* stream, const char* s);

/// Copies from the source's position to its end in 1 MiB chunks, reporting the fraction copied
/// to `progress` (may be null). False when a read or write fails or comes up short.
KRSTD_API bool KrCopyStream(TKrStream* src, TKrStream* dst, TKrProgressHandler* progress);
/// The same in 8 MiB chunks through ReadAllE/WriteAllE: failures propagate as exceptions.
KRSTD_API void KrCopyStreamE(TKrStream* src, TKrStream* dst, TKrProgressHandler* progress);

/// Compares position, size and then content, throwing at the first difference
/// ("Difference Pos %1% %2%", "Difference Size %1% %2%", "Difference Data"). With `fromStart`
/// the content is compared from offset 0, otherwise from the (equal) current positions; both
/// streams end up after the compared content.
KRSTD_API void KrCmpStream(TKrStream* a, TKrStream* b, bool fromStart);

/// CRC-32 (the gzip polynomial) of the stream from its position when it holds at most 1 MiB; of sixteen
/// evenly spread 64 KiB samples otherwise. Cheap identity check for large files.
KRSTD_API std::uint32_t ComputePartialCRC(TKrStream* stream);
