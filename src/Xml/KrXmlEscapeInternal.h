// Escaping of XML text straight into a buffered writer.
#pragma once

#include "Xml/KrXmlEscape.h"

#include <cstddef>

class TKrBufferedWriter;

/// Writes the escaped text of [s, s + n) to `out`, byte for byte what KrEncodeStringXmlBufNZ
/// gives, without a staging copy: runs that need no escaping go to the writer as they are.
/// `written` (may be null) receives the escaped length. False when a block the writer handed on
/// meanwhile failed. One pass over the text.
bool KrWriteStringXml(TKrBufferedWriter& out, const char* s, std::size_t n, TKrEncodeStringXmlMode mode,
                      std::size_t* written = nullptr);
