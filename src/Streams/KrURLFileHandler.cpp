// The "file" URL scheme over the file utilities and TKrFileStream.
#include "Streams/KrURLFileHandler.h"
#include "Core/KrMessage.h"
#include "System/KrFileUtils.h"

#include <filesystem>
#include <unistd.h>

namespace {
const std::string kMeta = ".meta";

TKrPath PathOf(TKrURLFileHandler& h, const TKrURL& url) {
    return TKrPath(h.GetURLFile(url, false));
}

bool RemoveFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::remove(path, ec) && !ec;
}
} // namespace

TKrURL TKrURLFileHandler::CreateURL(const std::string&, const std::string& path) {
    const TKrPath p(path);
    if (p.isPathEmpty() || !p.isPathValid()) return TKrURL();
    return TKrURL::FromString("file:///" + p.toPortableStr());
}

var_a<TKrURLStream*> TKrURLFileHandler::Open(const TKrURL& url, const std::string& path,
                                             const std::string& infoName, krOpenMode mode, krShareMode share,
                                             std::size_t size, bool throwing) {
    auto stream = new_a<TKrURLFileStream>(url);
    const TKrPath p(path);
    if (throwing) {
        if (path.empty())
            throw TKrMessage("@TKrURLFileHandler::OpenURLE(): Invalid URL \"%1%\"") << url.std_str();
        stream->OpenE(p, mode, share);
    } else if (path.empty() || !stream->Open(p, mode, share)) {
        return nullptr;
    }
    stream->SetInfoName(infoName);
    if (mode == krCreate && size != 0) {
        if (throwing)
            stream->setSize64E(size);
        else if (!stream->setSize64(size))
            return nullptr;
    }
    return stream;
}

var_a<TKrURLStream*> TKrURLFileHandler::OpenURL(const TKrURL& url, krOpenMode mode, krShareMode share,
                                                std::size_t size) {
    const std::string path = GetURLFile(url, false);
    // A companion without its file belongs to an older resource of that name.
    if (!path.empty() && !KrFileExists(path) && KrFileExists(path + kMeta)) RemoveFile(path + kMeta);
    return Open(url, path, url.std_str(), mode, share, size, false);
}

var_a<TKrURLStream*> TKrURLFileHandler::OpenURLE(const TKrURL& url, krOpenMode mode, krShareMode share,
                                                 std::size_t size) {
    const std::string path = GetURLFile(url, false);
    if (!path.empty() && !KrFileExists(path) && KrFileExists(path + kMeta)) RemoveFile(path + kMeta);
    return Open(url, path, url.std_str(), mode, share, size, true);
}

var_a<TKrURLStream*> TKrURLFileHandler::OpenResourceMeta(const TKrURL& url, krOpenMode mode,
                                                         krShareMode share) {
    const std::string path = GetURLFile(url, false);
    return Open(url, path.empty() ? path : path + kMeta, url.std_str() + ":meta", mode, share, 0, false);
}

bool TKrURLFileHandler::CopyResourceMeta(const TKrURL& from, const TKrURL& to) {
    const TKrPath src = PathOf(*this, from), dst = PathOf(*this, to);
    if (!KrFileExists(src) || !KrFileExists(dst)) return false;
    return KrCopyFile(src.str() + kMeta, dst.str() + kMeta);
}

bool TKrURLFileHandler::DeleteResource(const TKrURL& url) {
    const TKrPath p = PathOf(*this, url);
    if (p.isPathEmpty()) return false;
    bool ok = true;
    if (KrFileExists(p)) ok = RemoveFile(p.str());
    const TKrPath meta(p.str() + kMeta);
    if (KrFileExists(meta)) ok = RemoveFile(meta.str()) && ok;
    return ok;
}

bool TKrURLFileHandler::RenMovResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler*) {
    const TKrPath src = PathOf(*this, from), dst = PathOf(*this, to);
    if (src.isPathEmpty() || dst.isPathEmpty() || !KrMoveFileEx(src, dst)) return false;
    const TKrPath meta(src.str() + kMeta);
    if (!KrFileExists(meta)) return !KrFileExists(dst.str() + kMeta) || RemoveFile(dst.str() + kMeta);
    return KrMoveFileEx(meta, TKrPath(dst.str() + kMeta));
}

bool TKrURLFileHandler::CopyResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler*) {
    const TKrPath src = PathOf(*this, from), dst = PathOf(*this, to);
    if (src.isPathEmpty() || dst.isPathEmpty() || !KrCopyFile(src, dst)) return false;
    const TKrPath meta(src.str() + kMeta);
    // The target's old companion describes content that is gone.
    if (!KrFileExists(meta)) return !KrFileExists(dst.str() + kMeta) || RemoveFile(dst.str() + kMeta);
    return KrCopyFile(meta, TKrPath(dst.str() + kMeta));
}

bool TKrURLFileHandler::CreateFolder(const TKrURL& url) {
    const TKrPath p = PathOf(*this, url);
    return !p.isPathEmpty() && KrForceDirectories(p);
}

bool TKrURLFileHandler::DeleteFolder(const TKrURL& url, bool recursive, TKrProgressHandler* progress) {
    const TKrPath p = PathOf(*this, url);
    return !p.isPathEmpty() && KrRemoveDirectoryEx(p, recursive, progress);
}

bool TKrURLFileHandler::ResourceExists(const TKrURL& url) {
    return KrFileDirExists(PathOf(*this, url));
}
bool TKrURLFileHandler::IsResource(const TKrURL& url) {
    return KrFileExists(PathOf(*this, url));
}
bool TKrURLFileHandler::IsFolder(const TKrURL& url) {
    return KrDirExists(PathOf(*this, url));
}
bool TKrURLFileHandler::ResourceMetaExists(const TKrURL& url) {
    const TKrPath p = PathOf(*this, url);
    return KrFileExists(p) && KrFileExists(TKrPath(p.str() + kMeta));
}

bool TKrURLFileHandler::GetResourceLabelWeak(const TKrURL& url, TKrResourceLabel* label) {
    TKrURLAttrib attrib;
    if (!GetURLAttr(url, &attrib) || !attrib.isFile) return false;
    label->size = attrib.size;
    label->timestamp = attrib.modified;
    return true;
}

std::string TKrURLFileHandler::GetURLFile(const TKrURL& url, bool validate) {
    const std::string& s = url.std_str();
    if (s.compare(0, 5, "file:") != 0 || s.size() <= 7) return std::string();
    std::string path = s.size() > 8 ? s.substr(8) : std::string();
    if (validate && !path.empty()) path = TKrPath(path).getValidatedUnixPath().str();
    return path;
}

std::string TKrURLFileHandler::GetURLFolder(const TKrURL& url) {
    const std::string path = GetURLFile(url, false);
    return path.empty() ? path : TKrPath(path).path().str();
}

bool TKrURLFileHandler::GetURLAttr(const TKrURL& url, TKrURLAttrib* attrib) {
    const TKrPath p = PathOf(*this, url);
    if (p.isPathEmpty() || !KrFileDirExists(p)) return false;
    p.refresh(); // the cached metadata may predate a write through another stream
    TKrURLAttrib a;
    a.isFolder = KrDirExists(p);
    a.isFile = !a.isFolder;
    a.size = a.isFile ? static_cast<std::uint64_t>(p.fileSize()) : 0;
    a.created = p.creationTime();
    a.modified = p.updateTime();
    a.isReadOnly = ::access(p.remSlash().str().c_str(), W_OK) != 0;
    *attrib = a;
    return true;
}
