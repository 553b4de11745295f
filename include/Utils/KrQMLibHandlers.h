// TKrQMLibHandlers: the process-wide hooks through which library code asks its user, and the free functions
// over them.
#pragma once

#include "Core/KrExport.h"

#include <string>
#include <utility>
#include <vector>

/// What KrShowValue shows.
struct TE_ShowType {
    enum TShowType : int {
        String = 0,  ///< free text
        Integer = 1, ///< an integer in several notations (KrShowLong)
        Double = 2,  ///< a floating value (KrShowDouble)
    };
};
using TShowType = TE_ShowType::TShowType;

/// Answers of KrYesNoCancel.
struct TE_YesNoCancel {
    enum TYesNoCancel : int { No = 0, Yes = 1, Cancel = -1 };
};

/// The labels a checkbox decision edits, each with the boolean it sets.
using TKrCheckList = std::vector<std::pair<std::string, bool*>>;

/// The interface a GUI or console installs to answer the library's questions. Texts are UTF-8
/// and never null (the free functions pass null texts as ""). Handlers are called from whatever
/// thread asks; the handler decides how it reaches its user interface.
///
/// The virtual slots are in a fixed order that other modules are compiled against; do not
/// reorder or insert. The destructor is protected and not a slot: handlers are owned by whoever
/// installs them and are never deleted through this interface.
class KRSTD_API TKrQMLibHandlers {
public:
    // --- Virtual slots, in order -------------------------------------------------------------

    virtual void KrError(const char* text) = 0;
    /// Waits until the user lets the program go on.
    virtual void KrPause() = 0;
    virtual bool KrYesOrNo(const char* text, bool def) = 0;
    /// One of TE_YesNoCancel.
    virtual int KrYesNoCancel(const char* text, int def) = 0;
    /// The largest number of buttons one question may show; at least 10 (KrGetButtonDecision
    /// splits longer lists into pages that fit).
    virtual unsigned GetMaxButtons() = 0;
    /// The index of the chosen label; never more labels than GetMaxButtons.
    virtual unsigned KrGetButtonDecision(const char* caption, const char* text,
                                         const std::vector<std::string>& labels) = 0;
    virtual unsigned GetMaxChecks() = 0;
    /// Lets the user set the booleans; false (and the booleans untouched) when cancelled.
    virtual bool KrGetCheckboxDecision(const char* caption, const char* text, const TKrCheckList& checks) = 0;
    virtual void KrShowValue(TShowType type, const char* caption, const char* text) = 0;
    virtual std::string KrGetString(const char* caption, const char* def) = 0;
    virtual long KrGetLong(const char* caption, long def, long min, long max) = 0;
    virtual double KrGetDouble(const char* caption, double def, double min, double max) = 0;
    /// `filter` lists patterns as the GUI toolkit expects them ("Images (*.tif *.png)").
    virtual std::string KrGetOpenFileName(const char* caption, const char* filter, const char* def) = 0;
    virtual std::string KrGetSaveFileName(const char* caption, const char* filter, const char* def) = 0;

protected:
    ~TKrQMLibHandlers() = default;
};

/// The handler installed by default: shows nothing, never waits, answers every question with
/// its default (a button decision with the last label, which is "Cancel" by convention).
class KRSTD_API TKrNullQMLibHandlers : public TKrQMLibHandlers {
public:
    void KrError(const char* text) override;
    void KrPause() override;
    bool KrYesOrNo(const char* text, bool def) override;
    int KrYesNoCancel(const char* text, int def) override;
    /// 4294967295: no paging.
    unsigned GetMaxButtons() override;
    /// The last label's index (0 for none).
    unsigned KrGetButtonDecision(const char* caption, const char* text,
                                 const std::vector<std::string>& labels) override;
    unsigned GetMaxChecks() override;
    /// false; the booleans stay.
    bool KrGetCheckboxDecision(const char* caption, const char* text, const TKrCheckList& checks) override;
    void KrShowValue(TShowType type, const char* caption, const char* text) override;
    std::string KrGetString(const char* caption, const char* def) override;
    long KrGetLong(const char* caption, long def, long min, long max) override;
    double KrGetDouble(const char* caption, double def, double min, double max) override;
    std::string KrGetOpenFileName(const char* caption, const char* filter, const char* def) override;
    std::string KrGetSaveFileName(const char* caption, const char* filter, const char* def) override;
};

/// One button label.
class KRSTD_API TKrButton {
public:
    explicit TKrButton(std::string label) : m_label(std::move(label)) {}
    const std::string& GetLabel() const noexcept { return m_label; }

private:
    std::string m_label;
};

/// An ordered list of button labels, built with + and +=.
class KRSTD_API TKrButtons {
public:
    TKrButtons() = default;
    TKrButtons(const TKrButton& b) : m_labels{b.GetLabel()} {} // NOLINT: a button is a list of one
    TKrButtons& operator+=(const TKrButton& b) {
        m_labels.push_back(b.GetLabel());
        return *this;
    }
    TKrButtons& operator+=(const TKrButtons& other) {
        m_labels.insert(m_labels.end(), other.m_labels.begin(), other.m_labels.end());
        return *this;
    }
    const std::vector<std::string>& GetLabels() const noexcept { return m_labels; }

private:
    std::vector<std::string> m_labels;
};

inline TKrButtons operator+(TKrButtons a, const TKrButtons& b) {
    return a += b;
}
inline TKrButtons operator+(const TKrButton& a, const TKrButton& b) {
    return TKrButtons(a) += b;
}

/// A checkbox: a label and the boolean it edits (owned by the caller).
class KRSTD_API TKrCheck {
public:
    TKrCheck(std::string label, bool* value) : m_label(std::move(label)), m_value(value) {}
    const std::string& GetLabel() const noexcept { return m_label; }
    bool* GetValue() const noexcept { return m_value; }

private:
    std::string m_label;
    bool* m_value;
};

/// An ordered list of checkboxes, built with + and +=.
class KRSTD_API TKrChecks {
public:
    TKrChecks() = default;
    TKrChecks(const TKrCheck& c) : m_checks{c} {} // NOLINT: a check is a list of one
    TKrChecks& operator+=(const TKrChecks& other) {
        m_checks.insert(m_checks.end(), other.m_checks.begin(), other.m_checks.end());
        return *this;
    }
    /// The (label, pointer) pairs handlers receive.
    TKrCheckList GetChecks() const;

private:
    std::vector<TKrCheck> m_checks;
};

inline TKrChecks operator+(TKrChecks a, const TKrChecks& b) {
    return a += b;
}
inline TKrChecks operator+(const TKrCheck& a, const TKrCheck& b) {
    return TKrChecks(a) += b;
}

/// Installs `handler` (the caller keeps it alive while installed; null installs the null
/// handler) and returns the previous one. Meant for start-up; questions asked meanwhile on other
/// threads reach either handler.
KRSTD_API TKrQMLibHandlers* KrQMLibSetHandlers(TKrQMLibHandlers* handler) noexcept;
/// KrQMLibSetHandlers(nullptr).
KRSTD_API TKrQMLibHandlers* KrQMLibSetNullHandlers() noexcept;
/// The installed handler (never null).
KRSTD_API TKrQMLibHandlers* KrQMLibGetHandlers() noexcept;

// The questions, forwarded to the installed handler; null texts are passed as "".
KRSTD_API void KrError(const char* text);
KRSTD_API void KrPause();
KRSTD_API bool KrYesOrNo(const char* text, bool def);
KRSTD_API int KrYesNoCancel(const char* text, int def);
/// The index of the chosen label (0 for an empty list, without asking). Lists longer than the
/// handler's GetMaxButtons are shown in pages of GetMaxButtons − 3 labels with "<< a-b (n)" and
/// ">> a-b (n)" buttons to move between pages; the last label is repeated on every page, so that
/// a final choice such as "Cancel" is always reachable. A handler reporting fewer than 10
/// buttons fails with the internal-error message. A list that fits gets the handler's answer
/// unchanged; on a page, an answer beyond its labels and forward button means the last label.
KRSTD_API unsigned KrGetButtonDecision(const char* caption, const char* text,
                                       const std::vector<std::string>& labels);
KRSTD_API unsigned KrGetButtonDecision(const char* caption, const char* text, const TKrButtons& buttons);
/// false without asking for an empty list.
KRSTD_API bool KrGetCheckboxDecision(const char* caption, const char* text, const TKrCheckList& checks);
KRSTD_API bool KrGetCheckboxDecision(const char* caption, const char* text, const TKrChecks& checks);
KRSTD_API void KrShowValue(TShowType type, const char* caption, const char* text);
/// KrShowValue(String, caption, text).
KRSTD_API void KrShowString(const char* caption, const char* text);
/// Shows "v = v as unsigned + 'u' = 0xV = -0x(−v)", hexadecimal in capitals, as Integer.
KRSTD_API void KrShowLong(const char* caption, long v);
/// Shows v with six significant digits, " = ", and v with 16 decimals in exponent form, as
/// Double; always with '.' as the decimal point.
KRSTD_API void KrShowDouble(const char* caption, double v);
KRSTD_API std::string KrGetString(const char* caption, const char* def);
KRSTD_API long KrGetLong(const char* caption, long def, long min, long max);
KRSTD_API double KrGetDouble(const char* caption, double def, double min, double max);
KRSTD_API std::string KrGetOpenFileName(const char* caption, const char* filter, const char* def);
KRSTD_API std::string KrGetSaveFileName(const char* caption, const char* filter, const char* def);
