// TKrURLManager: scheme registry, forwarding to handlers, copies and moves across schemes.
#include "Streams/KrURLManager.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Streams/KrStreamUtils.h"
#include "Streams/KrURLFileHandler.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"

TKrURLHandler::~TKrURLHandler() = default;

TKrURLManager& TKrURLManager::Instance() {
    static TKrURLManager manager;
    return manager;
}

void TKrURLManager::Init() {
    auto handler = new_a<TKrURLFileHandler>();
    handler->Init();
    Instance().RegisterSchemeHandler("file", handler);
}

void TKrURLManager::DeInit() noexcept {
    Instance().m_handlers.clear();
}

void TKrURLManager::RegisterSchemeHandler(const std::string& scheme, var_a<TKrURLHandler*> handler) {
    if (m_handlers.count(scheme)) throw TKrMessage("@Scheme \"%1%\" already registered") << scheme;
    m_handlers.emplace(scheme, std::move(handler));
}

void TKrURLManager::UnregisterSchemeHandler(const std::string& scheme) {
    if (m_handlers.erase(scheme) == 0)
        throw TKrMessage("@TKrURLManager::UnregisterSchemeHandler(): Scheme \"%1%\" don't registered")
            << scheme;
}

std::string TKrURLManager::GetScheme(const TKrURL& url) {
    const std::string& s = url.std_str();
    if (s.empty()) return std::string();
    const std::size_t colon = s.find(':');
    if (colon == std::string::npos) throw TKrMessage("@TKrURLManager::GetScheme(): Invalid URL");
    return s.substr(0, colon);
}

var_a<TKrURLHandler*> TKrURLManager::GetURLHandler(const TKrURL& url) const {
    const std::string& s = url.std_str();
    const std::size_t colon = s.find(':');
    if (colon == std::string::npos) return nullptr;
    const auto it = m_handlers.find(s.substr(0, colon));
    return it == m_handlers.end() ? nullptr : it->second;
}

var_a<TKrURLHandler*> TKrURLManager::GetURLHandlerE(const TKrURL& url) const {
    auto handler = GetURLHandler(url);
    if (!handler) throw TKrMessage("@Unsupported URL scheme %1%") << url.std_str();
    return handler;
}

namespace {
bool IsForbidden(unsigned char c) {
    return c < 32 || c == '\\' || c == '"' || c == '<' || c == '>' || c == '*' || c == '?';
}
} // namespace

bool TKrURLManager::IsValidURL(const std::string& text) {
    if (text.empty()) return true;
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon + 1 == text.size()) return false;
    for (std::size_t i = 0; i < colon; ++i)
        if (text[i] < 'a' || text[i] > 'z') return false;
    for (std::size_t i = colon + 1; i < text.size(); ++i)
        if (IsForbidden(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

bool TKrURLManager::IsValidResNamePart(const std::string& part) {
    for (char c : part)
        if (IsForbidden(static_cast<unsigned char>(c)) || c == '|' || c == '/') return false;
    return true;
}

TKrURL TKrURLManager::CreateURL(const std::string& scheme, const std::string& path) {
    const auto it = m_handlers.find(scheme);
    if (it == m_handlers.end()) throw TKrMessage("@Invalid scheme \"%1%\"") << scheme;
    return it->second->CreateURL(scheme, path);
}

var_a<TKrURLStream*> TKrURLManager::OpenURL(const TKrURL& url, krOpenMode mode, krShareMode share,
                                            std::size_t size) {
    return GetURLHandlerE(url)->OpenURL(url, mode, share, size);
}
var_a<TKrURLStream*> TKrURLManager::OpenURLE(const TKrURL& url, krOpenMode mode, krShareMode share,
                                             std::size_t size) {
    return GetURLHandlerE(url)->OpenURLE(url, mode, share, size);
}
var_a<TKrURLStream*> TKrURLManager::OpenResourceMeta(const TKrURL& url, krOpenMode mode, krShareMode share) {
    return GetURLHandlerE(url)->OpenResourceMeta(url, mode, share);
}

bool TKrURLManager::CopyResourceMeta(const TKrURL& from, const TKrURL& to) {
    auto src = GetURLHandlerE(from);
    auto dst = GetURLHandlerE(to);
    if (src == dst) return src->CopyResourceMeta(from, to);
    auto in = src->OpenResourceMeta(from, krOpenRead, krShareDefault);
    if (!in) return false;
    auto out = dst->OpenResourceMeta(to, krCreate, krShareDefault);
    return out && in->setPosition(0) && KrCopyStream(in.get(), out.get(), nullptr) && out->Flush();
}

bool TKrURLManager::DeleteResource(const TKrURL& url) {
    return GetURLHandlerE(url)->DeleteResource(url);
}

bool TKrURLManager::RenMovResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress) {
    auto src = GetURLHandlerE(from);
    auto dst = GetURLHandlerE(to);
    if (src == dst) return src->RenMovResource(from, to, progress);
    return CopyAcross(from, to, progress) && src->DeleteResource(from);
}

bool TKrURLManager::CopyResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress) {
    auto src = GetURLHandlerE(from);
    auto dst = GetURLHandlerE(to);
    if (src == dst) return src->CopyResource(from, to, progress);
    return CopyAcross(from, to, progress);
}

bool TKrURLManager::CopyAcross(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress) {
    auto src = GetURLHandlerE(from);
    auto dst = GetURLHandlerE(to);
    bool created = false;
    bool ok = false;
    try {
        auto in = src->OpenURL(from, krOpenRead, krShareDefault, 0);
        if (in) {
            // Start from no target at all, so a companion of the old target cannot outlive it.
            dst->DeleteResource(to);
            const streamsize_t size = in->getSize();
            auto out =
                dst->OpenURL(to, krCreate, krShareDefault, size == TKrStream::invalid_value ? 0 : size);
            created = static_cast<bool>(out);
            ok = out && in->setPosition(0) && out->setPosition(0) &&
                 KrCopyStream(in.get(), out.get(), progress) && out->Flush() && out->Close();
        }
        if (ok && src->ResourceMetaExists(from)) ok = CopyResourceMeta(from, to);
    } catch (...) {
        ok = false;
        if (created) {
            try {
                dst->DeleteResource(to);
            } catch (...) {
            }
        }
        throw;
    }
    // A half-written target would pass for a copy: remove it (with any companion we wrote).
    if (!ok && created) {
        try {
            dst->DeleteResource(to);
        } catch (const TKrMessage& e) {
            KrLogWriteError(e, 3);
        }
    }
    return ok;
}

bool TKrURLManager::CreateFolder(const TKrURL& url) {
    return GetURLHandlerE(url)->CreateFolder(url);
}
bool TKrURLManager::DeleteFolder(const TKrURL& url, bool recursive, TKrProgressHandler* progress) {
    return GetURLHandlerE(url)->DeleteFolder(url, recursive, progress);
}
bool TKrURLManager::ResourceExists(const TKrURL& url) {
    return GetURLHandlerE(url)->ResourceExists(url);
}
bool TKrURLManager::IsResource(const TKrURL& url) {
    return GetURLHandlerE(url)->IsResource(url);
}
bool TKrURLManager::IsFolder(const TKrURL& url) {
    return GetURLHandlerE(url)->IsFolder(url);
}
bool TKrURLManager::ResourceMetaExists(const TKrURL& url) {
    return GetURLHandlerE(url)->ResourceMetaExists(url);
}
bool TKrURLManager::GetResourceLabelWeak(const TKrURL& url, TKrResourceLabel* label) {
    return GetURLHandlerE(url)->GetResourceLabelWeak(url, label);
}
bool TKrURLManager::GetResourceLabel(const TKrURL& url, TKrResourceLabel* label) {
    auto handler = GetURLHandlerE(url);
    if (!handler->GetResourceLabelWeak(url, label)) return false;
    auto stream = handler->OpenURL(url, krOpenRead, krShareDefault, 0);
    if (!stream) return false;
    label->ComputeCRC(stream.get());
    return true;
}
std::string TKrURLManager::GetURLFile(const TKrURL& url, bool validate) {
    return GetURLHandlerE(url)->GetURLFile(url, validate);
}
std::string TKrURLManager::GetURLFolder(const TKrURL& url) {
    return GetURLHandlerE(url)->GetURLFolder(url);
}
std::string TKrURLManager::URL2Path(const TKrURL& url) {
    return GetURLHandlerE(url)->URL2Path(url);
}
bool TKrURLManager::GetURLAttr(const TKrURL& url, TKrURLAttrib* attrib) {
    return GetURLHandlerE(url)->GetURLAttr(url, attrib);
}

std::uint32_t TKrURLManager::ComputePartialCRC(const TKrURL& url) {
    auto stream = OpenURLE(url, krOpenRead);
    stream->setPositionE(0);
    return ::ComputePartialCRC(stream.get());
}

bool TKrURLManager::ContentCheck(const TKrURL& a, const TKrURL& b) {
    auto sa = OpenURL(a, krOpenRead);
    auto sb = OpenURL(b, krOpenRead);
    if (!sa || !sb) return false;
    TKrResourceLabel la, lb;
    la.size = sa->getSize();
    lb.size = sb->getSize();
    if (la.size != lb.size) return false;
    la.ComputeCRC(sa.get());
    lb.ComputeCRC(sb.get());
    return la.ContentCheck(lb);
}

var_a<TKrXIniReader*> GetURLXIniReader(const TKrURL& url) {
    var_a<TKrStream*> stream = KrURLManager().OpenURLE(url, krOpenRead);
    return new_a<TKrXIniStreamReader>(stream, true, nullptr);
}

var_a<TKrXIniWriter*> GetURLXIniWriter(const TKrURL& url) {
    var_a<TKrStream*> stream = KrURLManager().OpenURLE(url, krCreate);
    return new_a<TKrXIniStreamWriter>(stream, 0, TKrXIniStreamWriter::Full);
}

TURLResourceDeleter::~TURLResourceDeleter() {
    if (m_url.IsEmpty()) return;
    try {
        KrURLManager().DeleteResource(m_url);
    } catch (const TKrMessage& e) {
        KrLogWriteError(e, 3);
    } catch (const std::exception& e) {
        KrLogWriteError(std::string(e.what()), 3);
    } catch (...) {
    }
}

TURLFolderDeleter::~TURLFolderDeleter() {
    if (m_url.IsEmpty()) return;
    try {
        KrURLManager().DeleteFolder(m_url, m_recursive, nullptr);
    } catch (const TKrMessage& e) {
        KrLogWriteError(e, 3);
    } catch (const std::exception& e) {
        KrLogWriteError(std::string(e.what()), 3);
    } catch (...) {
    }
}
