// TKrPath::TMetadata: what one stat of a path tells, cached by the path until refresh().
#pragma once

#include "System/KrPath.h"
#include "Utils/KrDateTime.h"

#include <cstdint>

struct TKrPath::TMetadata {
    bool exists = false;
    bool isFile = false;
    bool isDir = false;
    std::int64_t size = -1;
    TKrDateTime created;
    TKrDateTime accessed;
    TKrDateTime modified;
};
