// Any bytes as a language file: read as XLIFF texts and as a lang.x-ini, neither may crash.
#include "Core/KrLanguageInternal.h"
#include "Core/KrMessage.h"
#include "Streams/KrStringStream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string data(reinterpret_cast<const char*>(bytes), size);

    // XLIFF: a malformed document throws the XML reader's message; what is read keeps its
    // promises (no empty identifier, line ends normalised).
    std::map<std::string, std::string> texts;
    TKrStringStream xliff(data);
    try {
        KrLanguageInternal::ReadXliffTexts(&xliff, texts);
    } catch (const TKrMessage&) {
    }
    for (const auto& t : texts)
        if (t.first.empty() || t.second.find('\r') != std::string::npos) std::abort();

    // lang.x-ini: either the three values or the one ReadLangInfo message, nothing else.
    var_a<TKrStringStream*> info = new_a<TKrStringStream>(data);
    try {
        (void)KrLanguageInternal::ReadLangInfoStream(var_a<TKrStream*>(info));
    } catch (const TKrMessage& e) {
        if (std::strcmp(e.what(), "@KrStd::ReadLangInfo: Ошибка чтения файла") != 0) std::abort();
    }
    return 0;
}
