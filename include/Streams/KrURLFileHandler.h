// The "file" URL scheme: resources are files of the local file system.
#pragma once

#include "Streams/KrFileStream.h"
#include "Streams/KrURLManager.h"

/// A file stream opened through a "file" URL.
class KRSTD_API TKrURLFileStream : public TKrFileStream, public TKrURLStream {
public:
    explicit TKrURLFileStream(const TKrURL& url) : TKrURLStream(url) {}
};

/// "file:///" followed by the path in portable form, so an absolute path gives "file:////tmp/a"
/// and the path is everything after the first 8 characters. A resource's metadata lives in the
/// file named after it plus ".meta"; copies, moves and deletions carry that file along.
class KRSTD_API TKrURLFileHandler : public TKrURLHandler {
public:
    void Init() override {}
    /// Empty for an invalid path.
    TKrURL CreateURL(const std::string& scheme, const std::string& path) override;
    /// Deletes a stale ".meta" left without its file first; krCreate with a size presizes the file.
    var_a<TKrURLStream*> OpenURL(const TKrURL& url, krOpenMode mode, krShareMode share,
                                 std::size_t size) override;
    var_a<TKrURLStream*> OpenURLE(const TKrURL& url, krOpenMode mode, krShareMode share,
                                  std::size_t size) override;
    var_a<TKrURLStream*> OpenResourceMeta(const TKrURL& url, krOpenMode mode, krShareMode share) override;
    bool CopyResourceMeta(const TKrURL& from, const TKrURL& to) override;
    bool DeleteResource(const TKrURL& url) override;
    bool RenMovResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress) override;
    bool CopyResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress) override;
    bool CreateFolder(const TKrURL& url) override;
    bool DeleteFolder(const TKrURL& url, bool recursive, TKrProgressHandler* progress) override;
    bool ResourceExists(const TKrURL& url) override;
    bool IsResource(const TKrURL& url) override;
    bool IsFolder(const TKrURL& url) override;
    bool ResourceMetaExists(const TKrURL& url) override;
    bool GetResourceLabelWeak(const TKrURL& url, TKrResourceLabel* label) override;
    /// The text after "file:///" ("" for another scheme); `validate` resolves letter case.
    std::string GetURLFile(const TKrURL& url, bool validate) override;
    /// The folder of the file, with a final "/".
    std::string GetURLFolder(const TKrURL& url) override;
    std::string URL2Path(const TKrURL& url) override { return GetURLFile(url, false); }
    bool GetURLAttr(const TKrURL& url, TKrURLAttrib* attrib) override;

private:
    var_a<TKrURLStream*> Open(const TKrURL& url, const std::string& path, const std::string& infoName,
                              krOpenMode mode, krShareMode share, std::size_t size, bool throwing);
};
