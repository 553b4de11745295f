// The readers behind the language text store, open to the library's own tests and fuzz targets.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrLanguage.h"
#include "Core/KrVarA.h"

#include <map>
#include <string>

class TKrStream;

namespace KrLanguageInternal {
/// Adds the trans-units of the XLIFF document in `stream` (from its position) to `out`: key
/// the "id" attribute, value the "target" text or else the "source" text with line ends turned
/// into "\n"; units without id are skipped, and a later unit of the same id replaces an earlier
/// one. A document that is no XML throws the XML reader's message; one whose root is not
/// "xliff" or that lacks file/body adds nothing.
KRSTD_TEST_API void ReadXliffTexts(TKrStream* stream, std::map<std::string, std::string>& out);
/// ReadLangInfo on an open stream: the XIni document from position 0.
KRSTD_TEST_API TLangInfo ReadLangInfoStream(const var_a<TKrStream*>& stream);
/// The language layer's start-up step: lends the module object the text lookup (so messages by
/// identifier get their texts) and chooses the start-up language (setDefaultLanguageId).
void StartUp();
} // namespace KrLanguageInternal
