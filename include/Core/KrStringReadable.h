// Human-readable byte sizes and counts, and texts shortened to a display width.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <string>

/// The unit name of 1024^exponent bytes for exponent 0..8: the language texts "global.UnitB",
/// "global.UnitKB", ... "global.UnitYB", or "B", "KB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB"
/// while no language text is loaded. Any other exponent gives "???". Cost: one text lookup.
KRSTD_API std::string GetByteSizeString(unsigned long exponent);

/// A byte size for people to read. With `exponent` 0..8 the value is divided by 1024 that many
/// times; with any other exponent it is divided while its magnitude exceeds 1024, at most 8
/// times, and the exponent is the number of divisions. Without a division the result is
/// printf "%.0lf %s" of the value and the byte unit ("1000 B"), whatever `format` says;
/// otherwise it is `format` given the unit name (a string) and then the divided value (a double),
/// so formats that show the number first use positional arguments: "%2$.1lf %1$s" (the default,
/// also used for a null format) makes "1.5 KB".
KRSTD_API std::string SizeReadable(double value, unsigned long exponent = ~0UL, const char* format = nullptr);

/// A count for people to read, in steps of 1000.
///  - exponent 0 or 1: printf "%.0lf" of the value;
///  - exponent 2, 3 or 4: the value divided by 1000^exponent, handed to `format` with the unit
///    name first and the divided value second (default "%2$.1lf %1$s": "2.5 million"); with
///    exponent 4 and a divided magnitude above 1000 the result is printf "%.6le" of the value;
///  - exponent 5 or more: magnitudes below 1000000 print as "%.0lf"; otherwise the smallest
///    exponent 2..4 whose divided magnitude is below 1000 (4 when none is) is used as above.
/// Unit names are the language texts "global.Num1e6", "global.Num1e9", "global.Num1e12", or
/// "million", "billion", "trillion" while no language text is loaded.
KRSTD_API std::string NumReadable(double value, unsigned long exponent = ~0UL, const char* format = nullptr);

/// Shortens `text` to at most `width` characters (UTF-8 code points, never split) by replacing
/// its middle with "...": "averylongname" at width 8 gives "ave...me". A text that fits is
/// returned unchanged; below width 4 the text is cut to its first `width` characters.
KRSTD_API std::string contract(const std::string& text, std::size_t width);

/// Shortens a file path to at most `width` characters (UTF-8 code points) keeping what
/// identifies the file: the file name stays whole and the folders are cut, at a "/" or "\\"
/// where possible, with "..." and the path's separator in place of what is left out
/// ("/data/projects/2024/block_a/img_0001.tif" at width 24 gives "/data/.../img_0001.tif").
/// When the file name alone is too long, the folders are dropped, the stem is contracted and
/// the extension kept ("very_long_image_name.tif" at 16: "very_...name.tif"); when even that
/// cannot fit, the name is contracted as a whole. A path that fits is returned unchanged.
KRSTD_API std::string smart_filename_trim(const std::string& path, std::size_t width);
