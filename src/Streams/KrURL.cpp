// TKrURL, resource labels and the text functions on URLs.
#include "Streams/KrURL.h"
#include "Core/KrMessage.h"
#include "Core/KrStringCompare.h"
#include "Streams/KrStream.h"
#include "Streams/KrStreamUtils.h"
#include "Streams/KrURLManager.h"
#include "System/KrPath.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <cmath>

void TKrURL::Init(const std::string& text) {
    if (!TKrURLManager::IsValidURL(text))
        throw TKrMessage("@TKrURL::Init(): Not a valid URL: \"%1%\"") << text;
    m_text = text;
}

TKrURL TKrURL::FromString(const std::string& text) {
    TKrURL url;
    url.m_text = text;
    return url;
}

TKrURL TKrURL::FromFile(const TKrPath& path) {
    return KrURLManager().CreateURL("file", path.toPortableStr());
}

std::string TKrURL::ToFile(bool validate) const {
    if (m_text.compare(0, 5, "file:") != 0) return std::string();
    return KrURLManager().GetURLFile(*this, validate);
}

void TKrResourceLabel::ComputeCRC(TKrStream* stream) {
    stream->setPositionE(0);
    partCrc = ComputePartialCRC(stream);
}

bool TKrResourceLabel::WeakCheck(const TKrResourceLabel& o) const noexcept {
    return size == o.size && std::fabs(timestamp.SecondsTill(o.timestamp)) <= 2.0;
}

namespace {
std::size_t NameStart(const std::string& s) {
    const std::size_t slash = s.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}
std::size_t ExtStart(const std::string& s) {
    const std::size_t name = NameStart(s);
    const std::size_t dot = s.rfind('.');
    return dot == std::string::npos || dot < name ? s.size() : dot;
}
} // namespace

TKrURL KrExtractURLPath(const TKrURL& url) {
    const std::string& s = url.std_str();
    return TKrURL::FromString(s.substr(0, NameStart(s)));
}

std::string KrExtractURLNameExt(const TKrURL& url) {
    const std::string& s = url.std_str();
    return s.substr(NameStart(s));
}

std::string KrExtractURLNameOnly(const TKrURL& url) {
    const std::string& s = url.std_str();
    const std::size_t name = NameStart(s);
    return s.substr(name, ExtStart(s) - name);
}

TKrURL KrExtractURLPathNameOnly(const TKrURL& url) {
    const std::string& s = url.std_str();
    return TKrURL::FromString(s.substr(0, ExtStart(s)));
}

std::string KrExtractURLExt(const TKrURL& url) {
    const std::string& s = url.std_str();
    return s.substr(ExtStart(s));
}

int KrURLcmpi_Ansi(const TKrURL& a, const TKrURL& b) {
    const std::string &x = a.std_str(), &y = b.std_str();
    return strcmpi_locale(x.data(), x.size(), y.data(), y.size());
}

int KrURLFilescmpi_Ansi(const TKrURL& a, const TKrURL& b) {
    const std::string x = a.std_str().compare(0, 5, "file:") == 0 ? a.ToFile() : a.std_str();
    const std::string y = b.std_str().compare(0, 5, "file:") == 0 ? b.ToFile() : b.std_str();
    return strcmpi_locale(x.data(), x.size(), y.data(), y.size());
}

TKrURL KrIncludeTrailingSlash(const TKrURL& url) {
    const std::string& s = url.std_str();
    return !s.empty() && s.back() == '/' ? url : TKrURL::FromString(s + "/");
}

TKrURL KrExcludeTrailingSlash(const TKrURL& url) {
    const std::string& s = url.std_str();
    return !s.empty() && s.back() == '/' ? TKrURL::FromString(s.substr(0, s.size() - 1)) : url;
}

void XIniSaveSE(TKrXIniWriter* writer, const std::string& name, const TKrURL& url) {
    writer->WriteSE(name, url.std_str());
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrURL& url) {
    url.Init(reader->ReadE<std::string>(index));
}

void XIniSaveE(TKrXIniWriter* writer, const TKrResourceLabel& label) {
    writer->WriteSE("size", static_cast<unsigned long>(label.size));
    writer->WriteSE("timestamp", label.timestamp.ToRFCStringZExact());
    writer->WriteSE("part_crc", static_cast<unsigned>(label.partCrc));
}

void XIniLoadE(TKrXIniReader* reader, TKrResourceLabel& label) {
    TKrResourceLabel read;
    read.size = reader->ReadE<unsigned long>(reader->FindFE("size", 0));
    const std::string stamp = reader->ReadE<std::string>(reader->FindFE("timestamp", 0));
    read.timestamp = TKrDateTime::FromRFCString(stamp);
    if (read.timestamp.IsNull() && !stamp.empty())
        throw TKrMessage("@XIniLoadE(TKrResourceLabel): invalid timestamp \"%1%\"") << stamp;
    read.partCrc = reader->ReadE<unsigned>(reader->FindFE("part_crc", 0));
    label = read;
}
