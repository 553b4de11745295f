// TKrConsoleQMLibHandlers: answers the library's questions on a terminal, one line per answer.
#pragma once

#include "Utils/KrQMLibHandlers.h"

#include <cstdio>
#include <string>

/// Writes every question to `out` (stderr by default, so that a tool's own output stays clean)
/// and reads the answer as one line from `in` (stdin). An empty line takes the default; at the
/// end of the input every question takes its default, so a tool run without a terminal never
/// blocks. Numbers are read and written in the "C" notation whatever the locale; an answer that
/// does not parse or lies outside the allowed range is asked again. Not synchronised: questions
/// from several threads at once interleave on the terminal.
class KRSTD_API TKrConsoleQMLibHandlers : public TKrQMLibHandlers {
public:
    /// The streams stay owned by the caller.
    explicit TKrConsoleQMLibHandlers(std::FILE* in = stdin, std::FILE* out = stderr) noexcept
        : m_in(in), m_out(out) {}

    /// "Error: text".
    void KrError(const char* text) override;
    /// Waits for a line.
    void KrPause() override;
    /// "y"/"yes" or "n"/"no", any case.
    bool KrYesOrNo(const char* text, bool def) override;
    /// As KrYesOrNo, or "c"/"cancel".
    int KrYesNoCancel(const char* text, int def) override;
    /// 24: a numbered list that fits a terminal.
    unsigned GetMaxButtons() override;
    /// A numbered list (from 1); the default is the last label.
    unsigned KrGetButtonDecision(const char* caption, const char* text,
                                 const std::vector<std::string>& labels) override;
    unsigned GetMaxChecks() override;
    /// A numbered list with [x] marks: numbers toggle, an empty line accepts, "c" cancels.
    bool KrGetCheckboxDecision(const char* caption, const char* text, const TKrCheckList& checks) override;
    /// "caption: text".
    void KrShowValue(TShowType type, const char* caption, const char* text) override;
    std::string KrGetString(const char* caption, const char* def) override;
    long KrGetLong(const char* caption, long def, long min, long max) override;
    double KrGetDouble(const char* caption, double def, double min, double max) override;
    std::string KrGetOpenFileName(const char* caption, const char* filter, const char* def) override;
    std::string KrGetSaveFileName(const char* caption, const char* filter, const char* def) override;

private:
    /// Writes the prompt and reads one line without its line end; false at the end of the input.
    bool Ask(const std::string& prompt, std::string& line);
    /// Asks until yes, no (or cancel when allowed) or an empty line (the default).
    int AskYesNo(const char* text, int def, bool cancel);

    std::FILE* m_in;
    std::FILE* m_out;
};
