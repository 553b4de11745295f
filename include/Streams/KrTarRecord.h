// TTarFileRecord: what one tar entry says about its file.
#pragma once

#include "Utils/KrDateTime.h"

#include <cstdint>
#include <string>
#include <utility>

/// One entry of a tar archive. The first three fields are what the writer stores; the reader
/// also fills `type` and `link_name` from the header so that callers can tell links and other
/// special entries from files (the writer ignores both and derives the type from the name).
struct TTarFileRecord {
    TTarFileRecord() = default;
    /// What a writer needs: `{name, size, time}`.
    TTarFileRecord(std::string name_, std::uint64_t size_, TKrDateTime time_)
        : name(std::move(name_)), size(size_), time(time_) {}

    /// The name as stored (its bytes unchanged); a trailing "/" marks a directory.
    std::string name;
    /// Bytes of data.
    std::uint64_t size = 0;
    /// Modification time; stored as whole Unix seconds.
    TKrDateTime time;
    /// The header's type byte: '0' file ('\0' and '7' from other writers), '5' directory,
    /// '1' hard link, '2' symbolic link, others as stored.
    char type = '0';
    /// The target of a link entry; empty otherwise.
    std::string link_name;
};
