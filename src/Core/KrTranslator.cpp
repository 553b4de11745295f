// TKrTranslator: Qt translation requests resolved through the language text store.
#include "Core/KrTranslator.h"
#include "Core/KrLanguage.h"
#include "Core/KrLog.h"

#include <cstring>

TKrTranslator::TKrTranslator(QObject* parent) : QTranslator(parent) {}

TKrTranslator::~TKrTranslator() = default;

QString TKrTranslator::translate(const char* context, const char* sourceText, const char* disambiguation,
                                 int) const {
    const QString source = QString::fromUtf8(sourceText ? sourceText : "");
    if (!context) return source;

    std::string module;
    std::string id;
    if (!disambiguation || !*disambiguation) {
        module = "KrStd";
        id = std::string("forms.") + context + "_" + (sourceText ? sourceText : "");
        KrLogWriteInfo("TKrTranslator::translate", id, 5);
    } else {
        // "module:identifier"; every ':' splits, so a third part (or none) is no request of ours.
        const char* colon = std::strchr(disambiguation, ':');
        if (!colon || std::strchr(colon + 1, ':')) return source;
        module.assign(disambiguation, colon);
        id = std::string("forms.") + (colon + 1);
    }

    const std::string* text = nullptr;
    if (!LoadResString(module, id, &text) || !text) return source;
    return QString::fromUtf8(text->data(), static_cast<int>(text->size()));
}

bool TKrTranslator::isEmpty() const {
    return false;
}
