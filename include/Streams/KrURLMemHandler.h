// The "mem" URL scheme: an in-memory tree of folders and files for temporary data and tests.
#pragma once

#include "Streams/KrBlockMemStream.h"
#include "Streams/KrURLManager.h"

#include <map>

/// A stream over a memory file's data, opened through a "mem" URL.
class KRSTD_API TKrURLMemStream : public TKrBlockMemStream, public TKrURLStream {
public:
    TKrURLMemStream(const var_a<TKrBlockMemData*>& data, const TKrURL& url, krOpenMode mode)
        : TKrBlockMemStream(data, mode), TKrURLStream(url) {}
};

/// Resources under "mem:///": folders hold named children, files hold block memory (16-byte
/// blocks) shared with the streams open on them, so a file deleted while open stays readable
/// through those streams. Opening never creates folders. Copy, move, labels, attributes and
/// file paths are not supported here and throw ("TODO"); the manager copies and moves between
/// "mem" and other schemes through streams. No lock: one thread at a time.
class KRSTD_API TKrURLMemHandler : public TKrURLHandler {
public:
    TKrURLMemHandler();
    ~TKrURLMemHandler() override;

    /// The process-wide handler that module start-up registers under "mem".
    static TKrURLMemHandler& Global();

    /// Makes a new empty root (dropping any previous tree).
    void Init() override;
    /// Drops the tree; the handler is uninitialised until the next Init.
    void Clear() noexcept;

    /// "mem://" + path.
    TKrURL CreateURL(const std::string& scheme, const std::string& path) override;
    var_a<TKrURLStream*> OpenURL(const TKrURL& url, krOpenMode mode, krShareMode share,
                                 std::size_t size) override;
    /// Throws "Create Stream \"%1%\" failed!" after the operation's name.
    var_a<TKrURLStream*> OpenURLE(const TKrURL& url, krOpenMode mode, krShareMode share,
                                  std::size_t size) override;
    var_a<TKrURLStream*> OpenResourceMeta(const TKrURL& url, krOpenMode mode, krShareMode share) override;
    bool CopyResourceMeta(const TKrURL& from, const TKrURL& to) override;
    /// Erases the file (or folder) and its ".meta" sibling; true when it existed.
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
    std::string GetURLFile(const TKrURL& url, bool validate) override;
    std::string GetURLFolder(const TKrURL& url) override;
    /// The text from the "/" after "mem://".
    std::string URL2Path(const TKrURL& url) override;
    bool GetURLAttr(const TKrURL& url, TKrURLAttrib* attrib) override;

    /// Copies the folder's subtree (file contents included) under `newName` in the same parent.
    /// Throws "Folder not found" or "Invalid name" (a bad or taken name).
    void CopyFolder(const TKrURL& url, const std::string& newName);
    /// Names of the folder's children in name order, folders with a final "/"; empty when
    /// the URL is no folder.
    std::vector<std::string> List(const TKrURL& folder);

    struct TNode;
    struct TDir;
    struct TFile;

private:
    var_a<TDir*> ResourceDir(const TKrURL& url, bool create, std::string* name) const;
    var_a<TKrURLStream*> OpenIn(TDir& dir, const std::string& name, const TKrURL& url, krOpenMode mode,
                                std::size_t size);
    var_a<TNode*> Lookup(const TKrURL& url, const std::string& suffix) const;

    var_a<TDir*> m_root;
};
