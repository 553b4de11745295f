// TKrXIniWriter: the throwing forms over the virtual slots.
#include "XIni/KrXIniWriter.h"
#include "XIni/KrXIniInternal.h"

TKrXIniWriter::~TKrXIniWriter() = default;

void TKrXIniWriter::fail() {
    throw_xwrite_error_i();
    KrXIniInternal::throw_xwrite_error(std::string());
}

void TKrXIniWriter::WriteCommentE(const std::string& text) {
    if (!WriteComment(text)) fail();
}

void TKrXIniWriter::WriteLongStringSE(const std::string& name, const std::string& value) {
    if (!WriteLongStringS(name, value)) fail();
}

void TKrXIniWriter::WriteBinarySE(const std::string& name, const std::string& bytes) {
    if (!WriteBinaryS(name, bytes)) fail();
}

void TKrXIniWriter::WriteXIniSE(const std::string& name, const std::string& xiniText) {
    if (!WriteXIniS(name, xiniText)) fail();
}

void TKrXIniWriter::WriteXIniSE(const std::string& name, const TKrXIniTree* tree) {
    if (!WriteXIniS(name, tree)) fail();
}

void TKrXIniWriter::MergeXIniE(const std::string& xiniText) {
    if (!MergeXIni(xiniText)) fail();
}

void TKrXIniWriter::MergeXIniE(const TKrXIniTree* tree) {
    if (!MergeXIni(tree)) fail();
}

std::size_t TKrXIniWriter::BeginSectionSE(const std::string& name) {
    const std::size_t level = BeginSectionS(name);
    if (level == 0) fail();
    return level;
}

std::size_t TKrXIniWriter::BeginSectionCompactSE(const std::string& name) {
    const std::size_t level = BeginSectionCompactS(name);
    if (level == 0) fail();
    return level;
}

void TKrXIniWriter::WriteDouble2SE(const std::string& name, double x, double y) {
    if (!WriteDouble2S(name, x, y)) fail();
}

void TKrXIniWriter::WriteDouble3SE(const std::string& name, double x, double y, double z) {
    if (!WriteDouble3S(name, x, y, z)) fail();
}
