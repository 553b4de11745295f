// TKrTranslator: answers Qt's translation requests from the library's language texts.
#pragma once

#include "Core/KrExport.h"

#include <QtCore/QTranslator>

/// A QTranslator over the language text store (Core/KrLanguage.h). Install it with
/// QCoreApplication::installTranslator; it must outlive its installation.
///
/// Lookup rules: a null context returns the source text. Without a disambiguation text the
/// identifier is "forms." + context + "_" + source text in the module "KrStd" (logged as an
/// information record of level 5 first). With one, it is split at every ':' (empty parts
/// kept); exactly two parts name the module and the identifier "forms." + second part,
/// anything else returns the source text. A text that is not found returns the source text.
/// Cost: one store lookup (and a log record) per call.
class KRSTD_API TKrTranslator : public QTranslator {
public:
    explicit TKrTranslator(QObject* parent = nullptr);
    ~TKrTranslator() override;

    /// The text for a Qt translation request; `n` is not used.
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    /// Always false: the store may hold a text for any request.
    bool isEmpty() const override;
};
