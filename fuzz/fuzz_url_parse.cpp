// Fuzzes URL text handling: validation, scheme and name parts, file URLs of paths, and the
// memory tree's resolution of folders and names.
#include "Core/KrMessage.h"
#include "Streams/KrURLFileHandler.h"
#include "Streams/KrURLMemHandler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Init accepts exactly what IsValidURL accepts.
    const bool valid = TKrURLManager::IsValidURL(text);
    bool thrown = false;
    try {
        TKrURL checked(text);
    } catch (const TKrMessage&) {
        thrown = true;
    }
    Require(valid != thrown);

    // The parts put back together give the text.
    const TKrURL url = TKrURL::FromString(text);
    Require(KrExtractURLPath(url).std_str() + KrExtractURLNameExt(url) == text);
    Require(KrExtractURLPathNameOnly(url).std_str() + KrExtractURLExt(url) == text);
    Require(KrExtractURLNameOnly(url) + KrExtractURLExt(url) == KrExtractURLNameExt(url));
    Require(KrExcludeTrailingSlash(KrIncludeTrailingSlash(url)) == KrExcludeTrailingSlash(url));
    if (text.find(':') != std::string::npos || text.empty())
        Require(text.compare(0, TKrURLManager::GetScheme(url).size(), TKrURLManager::GetScheme(url)) == 0);
    (void)TKrURLManager::IsValidResNamePart(text);

    // A path's file URL gives the path back.
    TKrURLFileHandler file;
    const TKrURL fileUrl = file.CreateURL("file", text);
    if (!fileUrl.IsEmpty()) Require(file.GetURLFile(fileUrl, false) == TKrPath(text).toPortableStr());
    (void)file.GetURLFile(url, false);

    // The memory tree: whatever the text, resolution neither crashes nor breaks the tree.
    TKrURLMemHandler mem;
    mem.Init();
    const TKrURL memUrl = TKrURL::FromString("mem:///" + text);
    const bool folder = mem.CreateFolder(memUrl);
    Require(!folder || mem.IsFolder(memUrl));
    auto stream = mem.OpenURL(memUrl, krCreate, krShareDefault, 3);
    if (stream) {
        Require(mem.IsResource(memUrl) && stream->getSize() == 3);
        Require(!mem.OpenURL(memUrl, krCreateNew, krShareDefault, 0));
        Require(mem.DeleteResource(memUrl) && !mem.ResourceExists(memUrl));
    }
    (void)mem.List(KrExtractURLPath(memUrl));
    return 0;
}
