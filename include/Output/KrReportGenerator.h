// TKrReportGenerator: expands text templates with variables, repeated bands, conditions and texts.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

/// Expands a report template against named string variables. The template is plain text with
/// directives between two "%":
///   %name% or %name W%       a variable, cut or padded to W characters (W starting with "0"
///                            pads on the left); a variable named "name$" holds template text
///                            and is expanded before it is inserted
///   %start list% ... %end list%   repeated once per record list[0], list[1], ...; inside,
///                            list.field names list[i].field, and bands nest (list.sub)
///   %if cond% ... %else cond% ... %endif cond%   cond is a name (true when it exists) or
///                            name==value; the three directives pair up by their text
///   %local MODULE ID%        a language text of the current language
/// "\\" writes "\", "\%" writes "%", and "\$" before a line end joins the lines. An unclosed "%"
/// drops the rest of the template. Unknown names expand to nothing; nothing in a template
/// throws. Variables that hold templates nest ten levels deep at most; deeper expansions yield
/// an error text instead.
///
/// One generator expands one template at a time; use one per thread.
class KRSTD_API TKrReportGenerator {
public:
    using TVariables = std::map<std::string, std::string>;

    /// An open band: its name relative to the enclosing band, the current record and the
    /// template position just after its start directive.
    struct SBand {
        std::string name;
        std::uint64_t index;
        std::size_t position;
    };

    /// Expands the zero-terminated `templ` against `variables` (null: none). Linear in the
    /// output, plus a map lookup per reference.
    std::string Parse(const char* templ, const TVariables* variables);

    /// Adds name=value lines (ended by LF, CR or the text's end) to `variables`: the name is
    /// the text before the first "=", the value everything after it; nothing is trimmed. Lines
    /// without "=" or with an empty name are skipped; a later line replaces an earlier value.
    static void Strings2Vars(const std::string& text, TVariables& variables);
    /// Adds every top-level string item of the XIni document `text`; other items are skipped.
    /// Reading errors throw as the XIni reader throws them.
    static void XStrings2VarsE(const std::string& text, TVariables& variables);

private:
    std::string Expand(const char* text, std::size_t len, int depth);
    void Expand(const char* text, std::size_t len, int depth, std::string& out);
    bool Resolve(const std::string& name, std::string& key) const;
    std::string FormalPrefix(std::size_t bands) const;
    std::string RealPrefix(std::size_t bands) const;
    const std::string* Find(const std::string& key) const;
    bool Exists(const std::string& key) const { return Find(key) != nullptr; }
    void Reference(const std::string& directive, int depth, std::string& out);
    bool Condition(const std::string& condition) const;

    const TVariables* m_variables = nullptr;
    std::vector<SBand> m_bands;
};
