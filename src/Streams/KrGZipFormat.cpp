// The gzip signature.
#include "Streams/KrGZipFormat.h"
#include "Streams/KrGZipFormatInternal.h"

namespace {
const unsigned char kSignature[2] = {KrGZipFormat::kId1, KrGZipFormat::kId2};
}

const unsigned char* KrGZipSignatureData() {
    return kSignature;
}

std::size_t KrGZipSignatureSize() {
    return sizeof kSignature;
}
