// TKrURLManager: the process-wide registry of URL scheme handlers and every operation on URLs.
#pragma once

#include "Core/KrVarA.h"
#include "Streams/KrStream.h"
#include "Streams/KrURL.h"

#include <map>
#include <string>

class TKrProgressHandler;
class TKrXIniReader;
class TKrXIniWriter;

/// A stream opened through a URL handler; remembers the URL it was opened with.
class KRSTD_API TKrURLStream : public virtual TKrStream {
public:
    explicit TKrURLStream(const TKrURL& url) : m_url(url) {}
    const TKrURL& GetURL() const noexcept { return m_url; }

private:
    TKrURL m_url;
};

/// The operations of one URL scheme. Plain forms report failure by their result; the E forms
/// and the handlers' own unsupported operations throw TKrMessage.
class KRSTD_API TKrURLHandler {
public:
    // --- Virtual slots, in order -------------------------------------------------------------
    virtual void Init() = 0;
    virtual TKrURL CreateURL(const std::string& scheme, const std::string& path) = 0;
    /// Null on failure. `size` (when not 0) presizes a resource made with krCreate.
    virtual var_a<TKrURLStream*> OpenURL(const TKrURL& url, krOpenMode mode, krShareMode share,
                                         std::size_t size) = 0;
    virtual var_a<TKrURLStream*> OpenURLE(const TKrURL& url, krOpenMode mode, krShareMode share,
                                          std::size_t size) = 0;
    /// The ".meta" companion of the resource.
    virtual var_a<TKrURLStream*> OpenResourceMeta(const TKrURL& url, krOpenMode mode, krShareMode share) = 0;
    virtual bool CopyResourceMeta(const TKrURL& from, const TKrURL& to) = 0;
    /// Deletes the resource and its ".meta" companion.
    virtual bool DeleteResource(const TKrURL& url) = 0;
    virtual bool RenMovResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress) = 0;
    virtual bool CopyResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress) = 0;
    /// Creates the folder with its missing parents.
    virtual bool CreateFolder(const TKrURL& url) = 0;
    virtual bool DeleteFolder(const TKrURL& url, bool recursive, TKrProgressHandler* progress) = 0;
    /// A file or a folder.
    virtual bool ResourceExists(const TKrURL& url) = 0;
    virtual bool IsResource(const TKrURL& url) = 0;
    virtual bool IsFolder(const TKrURL& url) = 0;
    virtual bool ResourceMetaExists(const TKrURL& url) = 0;
    /// Size and timestamp (the part CRC is left alone).
    virtual bool GetResourceLabelWeak(const TKrURL& url, TKrResourceLabel* label) = 0;
    virtual std::string GetURLFile(const TKrURL& url, bool validate) = 0;
    virtual std::string GetURLFolder(const TKrURL& url) = 0;
    virtual std::string URL2Path(const TKrURL& url) = 0;
    virtual bool GetURLAttr(const TKrURL& url, TKrURLAttrib* attrib) = 0;

    virtual ~TKrURLHandler();
};

/// The registry of scheme handlers, filled at module start-up with "file" and "mem". Lookups
/// are not locked: register only while no other thread uses URLs.
///
/// Operations forward to the handler of the (first) URL's scheme and throw "@Unsupported URL
/// scheme %1%" when none is registered. Copying and moving between two schemes goes through
/// streams: the target is opened with krCreate, the bytes and the ".meta" companion are
/// copied, and a target left incomplete by a failure is deleted. A move deletes its source only
/// after the copy succeeded.
class KRSTD_API TKrURLManager {
public:
    /// The process-wide manager.
    static TKrURLManager& Instance();
    /// Registers the "file" handler (module start-up).
    static void Init();
    /// Drops every handler (module tear-down). Never throws.
    static void DeInit() noexcept;

    /// Throws "@Scheme \"<scheme>\" already registered" for a scheme already present.
    void RegisterSchemeHandler(const std::string& scheme, var_a<TKrURLHandler*> handler);
    void UnregisterSchemeHandler(const std::string& scheme);
    bool IsSchemeRegistered(const std::string& scheme) const { return m_handlers.count(scheme) != 0; }

    /// The text before the first ":" ("" for an empty URL); throws for text without ":".
    static std::string GetScheme(const TKrURL& url);
    /// Null when the scheme has no handler (or the URL none).
    var_a<TKrURLHandler*> GetURLHandler(const TKrURL& url) const;
    var_a<TKrURLHandler*> GetURLHandlerE(const TKrURL& url) const;

    /// Empty or scheme ":" rest, the scheme of a-z only, something after ":", and no control
    /// character nor any of \ " < > * ? after it.
    static bool IsValidURL(const std::string& text);
    static bool IsValidURL(const TKrURL& url) { return IsValidURL(url.std_str()); }
    /// No control character nor any of \ " < > * ? | /.
    static bool IsValidResNamePart(const std::string& part);

    TKrURL CreateURL(const std::string& scheme, const std::string& path);
    var_a<TKrURLStream*> OpenURL(const TKrURL& url, krOpenMode mode, krShareMode share = krShareDefault,
                                 std::size_t size = 0);
    var_a<TKrURLStream*> OpenURLE(const TKrURL& url, krOpenMode mode, krShareMode share = krShareDefault,
                                  std::size_t size = 0);
    var_a<TKrURLStream*> OpenResourceMeta(const TKrURL& url, krOpenMode mode,
                                          krShareMode share = krShareDefault);
    bool CopyResourceMeta(const TKrURL& from, const TKrURL& to);
    bool DeleteResource(const TKrURL& url);
    bool RenMovResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress = nullptr);
    bool CopyResource(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress = nullptr);
    bool CreateFolder(const TKrURL& url);
    bool DeleteFolder(const TKrURL& url, bool recursive, TKrProgressHandler* progress = nullptr);
    bool ResourceExists(const TKrURL& url);
    bool IsResource(const TKrURL& url);
    bool IsFolder(const TKrURL& url);
    bool ResourceMetaExists(const TKrURL& url);
    bool GetResourceLabelWeak(const TKrURL& url, TKrResourceLabel* label);
    /// The weak label plus the part CRC, which opens and reads the resource.
    bool GetResourceLabel(const TKrURL& url, TKrResourceLabel* label);
    std::string GetURLFile(const TKrURL& url, bool validate = false);
    std::string GetURLFolder(const TKrURL& url);
    std::string URL2Path(const TKrURL& url);
    bool GetURLAttr(const TKrURL& url, TKrURLAttrib* attrib);

    /// ComputePartialCRC of the resource's content (opens it for reading; throws when it cannot).
    std::uint32_t ComputePartialCRC(const TKrURL& url);
    /// True when both resources have the same size and partial CRC.
    bool ContentCheck(const TKrURL& a, const TKrURL& b);

private:
    bool CopyAcross(const TKrURL& from, const TKrURL& to, TKrProgressHandler* progress);

    std::map<std::string, var_a<TKrURLHandler*>> m_handlers;
};

/// The process-wide manager (TKrURLManager::Instance()).
inline TKrURLManager& KrURLManager() {
    return TKrURLManager::Instance();
}

/// Opens the URL for reading and returns an XIni stream reader (throwing mode) over it.
KRSTD_API var_a<TKrXIniReader*> GetURLXIniReader(const TKrURL& url);
/// Creates the resource and returns an XIni stream writer (full header) over it.
KRSTD_API var_a<TKrXIniWriter*> GetURLXIniWriter(const TKrURL& url);

/// Deletes a resource when it goes out of scope (unless the URL is empty); failures are logged.
class KRSTD_API TURLResourceDeleter {
public:
    explicit TURLResourceDeleter(const TKrURL& url) : m_url(url) {}
    TURLResourceDeleter(const TURLResourceDeleter&) = delete;
    TURLResourceDeleter& operator=(const TURLResourceDeleter&) = delete;
    ~TURLResourceDeleter();
    /// Keeps the resource.
    void Release() noexcept { m_url.clear(); }

private:
    TKrURL m_url;
};
/// The same for a file resource.
class KRSTD_API TURLFileDeleter : public TURLResourceDeleter {
public:
    using TURLResourceDeleter::TURLResourceDeleter;
};
/// Deletes a folder (recursively when asked) when it goes out of scope; failures are logged.
class KRSTD_API TURLFolderDeleter {
public:
    TURLFolderDeleter(const TKrURL& url, bool recursive) : m_url(url), m_recursive(recursive) {}
    TURLFolderDeleter(const TURLFolderDeleter&) = delete;
    TURLFolderDeleter& operator=(const TURLFolderDeleter&) = delete;
    ~TURLFolderDeleter();
    void Release() noexcept { m_url.clear(); }

private:
    TKrURL m_url;
    bool m_recursive;
};

/// Rotating backup: moves the resource into the "backup/" folder beside it under
/// name.YYYY-MM-DD.hh-mm-ss.ext (its local modification time), keeping at most `keep` backups
/// (the oldest go first). `keep` 0 deletes the resource. Nothing happens when it does not exist.
KRSTD_API void BackupURL(const TKrURL& url, std::size_t keep);
