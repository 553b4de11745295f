// krtool url: copy, move, list and describe resources by URL (plain paths count as "file" URLs).
#include "KrToolCommand.h"

#include "Core/KrMessage.h"
#include "Streams/KrURLManager.h"
#include "Streams/KrURLMemHandler.h"
#include "System/KrPath.h"

#include <cstdio>
#include <filesystem>

namespace {

// "scheme:rest" is a URL; anything else (and anything starting with "/" or ".") a file path.
TKrURL ToURL(const std::string& arg) {
    const std::size_t colon = arg.find(':');
    if (colon != std::string::npos && colon > 0 && arg[0] != '/' && arg[0] != '.' &&
        TKrURLManager::IsValidURL(arg))
        return TKrURL(arg);
    TKrPath path(arg);
    if (path.isRelative()) path = path.makeAbsolute();
    const TKrURL url = TKrURL::FromFile(path);
    if (url.IsEmpty()) throw TKrMessage("@krtool url: not a valid path or URL: \"%1%\"") << arg;
    return url;
}

int Stat(const TKrURL& url) {
    TKrURLManager& m = KrURLManager();
    std::printf("url\t%s\n", url.std_str().c_str());
    if (!m.ResourceExists(url)) {
        std::printf("exists\tno\n");
        return 1;
    }
    const bool folder = m.IsFolder(url);
    std::printf("kind\t%s\n", folder ? "folder" : "resource");
    if (folder) return 0;
    auto stream = m.OpenURLE(url, krOpenRead);
    std::printf("size\t%lu\n", static_cast<unsigned long>(stream->getSize()));
    TKrResourceLabel label;
    label.ComputeCRC(stream.get());
    std::printf("part_crc\t%08x\n", static_cast<unsigned>(label.partCrc));
    TKrURLAttrib attrib;
    if (TKrURLManager::GetScheme(url) == "file" && m.GetURLAttr(url, &attrib))
        std::printf("modified\t%s\n", attrib.modified.ToRFCString(0).c_str());
    std::printf("meta\t%s\n", m.ResourceMetaExists(url) ? "yes" : "no");
    return 0;
}

int List(const TKrURL& url) {
    TKrURLManager& m = KrURLManager();
    if (!m.IsFolder(url)) throw TKrMessage("@krtool url list: not a folder: \"%1%\"") << url.std_str();
    const TKrURL folder = KrIncludeTrailingSlash(url);
    std::vector<std::string> names;
    if (TKrURLManager::GetScheme(url) == "mem") {
        names = TKrURLMemHandler::Global().List(folder);
    } else {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(m.URL2Path(folder), ec), end; !ec && it != end;
             it.increment(ec))
            names.push_back(it->path().filename().string() + (it->is_directory(ec) ? "/" : ""));
        std::sort(names.begin(), names.end());
    }
    for (const std::string& name : names)
        std::printf("%s\n", (folder + name).std_str().c_str());
    return 0;
}

int RunUrl(const std::vector<std::string>& args) {
    if (args.size() < 2) return KrToolUsage("url");
    const std::string& op = args[0];
    if ((op == "copy" || op == "move") && args.size() == 3) {
        const TKrURL from = ToURL(args[1]), to = ToURL(args[2]);
        const bool ok =
            op == "copy" ? KrURLManager().CopyResource(from, to) : KrURLManager().RenMovResource(from, to);
        if (!ok)
            std::fprintf(stderr, "krtool url %s: failed: %s -> %s\n", op.c_str(), from.std_str().c_str(),
                         to.std_str().c_str());
        return ok ? 0 : 1;
    }
    if (op == "stat" || op == "list") {
        int rc = 0;
        for (std::size_t i = 1; i < args.size(); ++i)
            rc |= op == "stat" ? Stat(ToURL(args[i])) : List(ToURL(args[i]));
        return rc;
    }
    return KrToolUsage("url");
}

} // namespace

KRTOOL_COMMAND(url, "url", "copy|move FROM TO | list FOLDER... | stat URL...",
               "copy or move resources between URL schemes, list folders, show size, part CRC and companion",
               RunUrl);
