// The "mem" URL scheme: a tree of folders and block-memory files.
#include "Streams/KrURLMemHandler.h"
#include "Core/KrMessage.h"

namespace {
const std::string kPrefix = "mem:///";
const std::string kMeta = ".meta";
} // namespace

struct TKrURLMemHandler::TNode {
    explicit TNode(int k) : kind(k) {}
    virtual ~TNode() = default;
    const int kind; // 0 file, 1 folder
};
struct TKrURLMemHandler::TDir : TNode {
    TDir() : TNode(1) {}
    std::map<std::string, var_a<TNode*>> children;
};
struct TKrURLMemHandler::TFile : TNode {
    TFile() : TNode(0), data(new_a<TKrBlockMemData>(16, false)) {}
    var_a<TKrBlockMemData*> data;
};

namespace {
using TNode = TKrURLMemHandler::TNode;
using TDir = TKrURLMemHandler::TDir;
using TFile = TKrURLMemHandler::TFile;

var_a<TNode*> Child(const TDir& dir, const std::string& name) {
    const auto it = dir.children.find(name);
    return it == dir.children.end() ? nullptr : it->second;
}

// A deep copy: files get their own data, so the copy does not follow later writes.
var_a<TNode*> Clone(const TNode& node) {
    if (node.kind == 0) {
        const auto& src = static_cast<const TFile&>(node);
        auto copy = new_a<TFile>();
        const std::size_t n = src.data->GetSize();
        copy->data->SetSize(n);
        std::vector<char> buf(std::min<std::size_t>(n, 1 << 16));
        for (std::size_t at = 0; at < n; at += buf.size()) {
            const std::size_t k = std::min(buf.size(), n - at);
            src.data->CopyOut(at, buf.data(), k);
            copy->data->CopyIn(at, buf.data(), k);
        }
        return copy;
    }
    auto copy = new_a<TDir>();
    for (const auto& [name, child] : static_cast<const TDir&>(node).children)
        copy->children.emplace(name, Clone(*child));
    return copy;
}

[[noreturn]] void Todo(const char* operation) {
    throw TKrMessage(std::string("@TKrURLMemHandler::") + operation + "(): TODO");
}
} // namespace

TKrURLMemHandler::TKrURLMemHandler() = default;
TKrURLMemHandler::~TKrURLMemHandler() = default;

TKrURLMemHandler& TKrURLMemHandler::Global() {
    static TKrURLMemHandler handler;
    return handler;
}

void TKrURLMemHandler::Init() {
    m_root = new_a<TDir>();
}

void TKrURLMemHandler::Clear() noexcept {
    m_root.reset();
}

TKrURL TKrURLMemHandler::CreateURL(const std::string&, const std::string& path) {
    return TKrURL::FromString("mem://" + path);
}

var_a<TKrURLMemHandler::TDir*> TKrURLMemHandler::ResourceDir(const TKrURL& url, bool create,
                                                             std::string* name) const {
    const std::string& s = url.std_str();
    if (!m_root || s.compare(0, kPrefix.size(), kPrefix) != 0) return nullptr;
    var_a<TDir*> dir = m_root;
    std::size_t at = kPrefix.size();
    for (std::size_t slash; (slash = s.find('/', at)) != std::string::npos; at = slash + 1) {
        const std::string part = s.substr(at, slash - at);
        if (part.empty()) continue; // "a//b" is "a/b"
        var_a<TNode*> child = Child(*dir, part);
        if (!child) {
            if (!create) return nullptr;
            auto made = new_a<TDir>();
            dir->children.emplace(part, made);
            dir = made;
        } else if (child->kind == 1) {
            dir = static_var_a_cast_legacy<TDir*>(child);
        } else {
            return nullptr;
        }
    }
    *name = s.substr(at);
    return dir;
}

var_a<TKrURLMemHandler::TNode*> TKrURLMemHandler::Lookup(const TKrURL& url, const std::string& suffix) const {
    std::string name;
    var_a<TDir*> dir = ResourceDir(url, false, &name);
    if (!dir) return nullptr;
    if (name.empty()) return suffix.empty() ? var_a<TNode*>(dir) : nullptr;
    return Child(*dir, name + suffix);
}

var_a<TKrURLStream*> TKrURLMemHandler::OpenIn(TDir& dir, const std::string& name, const TKrURL& url,
                                              krOpenMode mode, std::size_t size) {
    if (name.empty()) return nullptr;
    var_a<TNode*> node = Child(dir, name);
    if (node && node->kind != 0) return nullptr;
    if (mode == krOpenRead || mode == krOpenReadWriteExisting) {
        if (!node) return nullptr;
    } else if (node) {
        if (mode == krCreateNew) return nullptr;
        if (mode == krCreate) static_cast<TFile&>(*node).data->SetSize(size);
    } else {
        auto file = new_a<TFile>();
        if (mode == krCreate && size != 0) file->data->SetSize(size);
        node = file;
        dir.children.emplace(name, node);
    }
    auto stream = new_a<TKrURLMemStream>(static_cast<TFile&>(*node).data, url, mode);
    stream->SetInfoName(url.std_str());
    return stream;
}

var_a<TKrURLStream*> TKrURLMemHandler::OpenURL(const TKrURL& url, krOpenMode mode, krShareMode,
                                               std::size_t size) {
    std::string name;
    var_a<TDir*> dir = ResourceDir(url, false, &name);
    return dir ? OpenIn(*dir, name, url, mode, size) : nullptr;
}

var_a<TKrURLStream*> TKrURLMemHandler::OpenURLE(const TKrURL& url, krOpenMode mode, krShareMode share,
                                                std::size_t size) {
    auto stream = OpenURL(url, mode, share, size);
    if (!stream)
        throw TKrMessage("@TKrURLMemHandler::OpenURLE(): Create Stream \"%1%\" failed!") << url.std_str();
    return stream;
}

var_a<TKrURLStream*> TKrURLMemHandler::OpenResourceMeta(const TKrURL& url, krOpenMode mode, krShareMode) {
    std::string name;
    var_a<TDir*> dir = ResourceDir(url, false, &name);
    if (!dir || name.empty()) return nullptr;
    return OpenIn(*dir, name + kMeta, url + ":meta", mode, 0);
}

bool TKrURLMemHandler::CopyResourceMeta(const TKrURL&, const TKrURL&) {
    Todo("CopyResourceMeta");
}

bool TKrURLMemHandler::DeleteResource(const TKrURL& url) {
    std::string name;
    var_a<TDir*> dir = ResourceDir(url, false, &name);
    if (!dir || name.empty()) return false;
    dir->children.erase(name + kMeta);
    return dir->children.erase(name) != 0;
}

bool TKrURLMemHandler::RenMovResource(const TKrURL&, const TKrURL&, TKrProgressHandler*) {
    Todo("RenMovResource");
}
bool TKrURLMemHandler::CopyResource(const TKrURL&, const TKrURL&, TKrProgressHandler*) {
    Todo("CopyResource");
}

bool TKrURLMemHandler::CreateFolder(const TKrURL& url) {
    std::string name;
    var_a<TDir*> dir = ResourceDir(url, true, &name);
    if (!dir) return false;
    if (name.empty()) return true;
    if (!TKrURLManager::IsValidResNamePart(name)) return false;
    var_a<TNode*> node = Child(*dir, name);
    if (!node) {
        node = new_a<TDir>();
        dir->children.emplace(name, node);
    }
    return node->kind == 1;
}

bool TKrURLMemHandler::DeleteFolder(const TKrURL& url, bool, TKrProgressHandler*) {
    std::string name;
    var_a<TDir*> dir = ResourceDir(url, false, &name);
    if (!dir || name.empty()) return false;
    var_a<TNode*> node = Child(*dir, name);
    if (!node || node->kind != 1) return false;
    dir->children.erase(name);
    return true;
}

bool TKrURLMemHandler::ResourceExists(const TKrURL& url) {
    return static_cast<bool>(Lookup(url, std::string()));
}
bool TKrURLMemHandler::IsResource(const TKrURL& url) {
    auto node = Lookup(url, std::string());
    return node && node->kind == 0;
}
bool TKrURLMemHandler::IsFolder(const TKrURL& url) {
    auto node = Lookup(url, std::string());
    return node && node->kind == 1;
}
bool TKrURLMemHandler::ResourceMetaExists(const TKrURL& url) {
    auto node = Lookup(url, kMeta);
    return node && node->kind == 0 && IsResource(url);
}

bool TKrURLMemHandler::GetResourceLabelWeak(const TKrURL&, TKrResourceLabel*) {
    Todo("GetResourceLabelWeak");
}
std::string TKrURLMemHandler::GetURLFile(const TKrURL&, bool) {
    Todo("GetURLFile");
}
std::string TKrURLMemHandler::GetURLFolder(const TKrURL&) {
    Todo("GetURLFolder");
}
bool TKrURLMemHandler::GetURLAttr(const TKrURL&, TKrURLAttrib*) {
    Todo("GetURLAttr");
}

std::string TKrURLMemHandler::URL2Path(const TKrURL& url) {
    if (!m_root) throw TKrMessage("@TKrURLMemHandler::URL2Path(): Not initialized");
    const std::string& s = url.std_str();
    if (s.compare(0, kPrefix.size(), kPrefix) != 0)
        throw TKrMessage("@TKrURLMemHandler::URL2Path(): Invalid URL \"%1%\"") << s;
    return s.substr(6);
}

void TKrURLMemHandler::CopyFolder(const TKrURL& url, const std::string& newName) {
    std::string name;
    var_a<TDir*> dir = ResourceDir(KrExcludeTrailingSlash(url), false, &name);
    var_a<TNode*> node = dir && !name.empty() ? Child(*dir, name) : nullptr;
    if (!node || node->kind != 1) throw TKrMessage("@TKrURLMemHandler::CopyFolder(): Folder not found");
    if (newName.empty() || !TKrURLManager::IsValidResNamePart(newName) || dir->children.count(newName))
        throw TKrMessage("@TKrURLMemHandler::CopyFolder(): Invalid name");
    dir->children.emplace(newName, Clone(*node));
}

std::vector<std::string> TKrURLMemHandler::List(const TKrURL& folder) {
    std::vector<std::string> names;
    auto node = Lookup(folder, std::string());
    if (!node || node->kind != 1) return names;
    for (const auto& [name, child] : static_cast<const TDir&>(*node).children)
        names.push_back(child->kind == 1 ? name + "/" : name);
    return names;
}
