// The installed question handler, the null handler, value texts and the paging of long button lists.
#include "Utils/KrQMLibHandlers.h"

#include "Core/KrExceptions.h"
#include "Core/KrMessage.h"

#include <atomic>
#include <charconv>

namespace {

TKrNullQMLibHandlers g_nullHandlers;
std::atomic<TKrQMLibHandlers*> g_handlers{&g_nullHandlers};

TKrQMLibHandlers& Handlers() noexcept {
    return *g_handlers.load(std::memory_order_acquire);
}

const char* Text(const char* s) noexcept {
    return s ? s : "";
}

template <class... Args> std::string Chars(Args... args) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, args...);
    return std::string(buf, r.ptr);
}

std::string HexUpper(unsigned long v) {
    std::string s = Chars(v, 16);
    for (char& c : s)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string RangeLabel(const char* arrows, unsigned first, unsigned last, unsigned n) {
    return std::string(arrows) + " " + std::to_string(first) + "-" + std::to_string(last) + " (" +
           std::to_string(n) + ")";
}

// The end of the page starting at `start`: one label more on the first page, which has no back
// button; never a single leftover label for a page of its own.
unsigned PageEnd(unsigned start, unsigned pageSize, unsigned n) {
    unsigned long e = static_cast<unsigned long>(start) + pageSize + (start == 0 ? 1 : 0);
    if (e > n) e = n;
    if (e + 1 == n) e = n;
    return static_cast<unsigned>(e);
}

} // namespace

// --- Null handler -------------------------------------------------------------------------------------

void TKrNullQMLibHandlers::KrError(const char*) {}
void TKrNullQMLibHandlers::KrPause() {}
bool TKrNullQMLibHandlers::KrYesOrNo(const char*, bool def) {
    return def;
}
int TKrNullQMLibHandlers::KrYesNoCancel(const char*, int def) {
    return def;
}
unsigned TKrNullQMLibHandlers::GetMaxButtons() {
    return 4294967295u;
}
unsigned TKrNullQMLibHandlers::KrGetButtonDecision(const char*, const char*,
                                                   const std::vector<std::string>& labels) {
    return labels.empty() ? 0 : static_cast<unsigned>(labels.size() - 1);
}
unsigned TKrNullQMLibHandlers::GetMaxChecks() {
    return 4294967295u;
}
bool TKrNullQMLibHandlers::KrGetCheckboxDecision(const char*, const char*, const TKrCheckList&) {
    return false;
}
void TKrNullQMLibHandlers::KrShowValue(TShowType, const char*, const char*) {}
std::string TKrNullQMLibHandlers::KrGetString(const char*, const char* def) {
    return Text(def);
}
long TKrNullQMLibHandlers::KrGetLong(const char*, long def, long, long) {
    return def;
}
double TKrNullQMLibHandlers::KrGetDouble(const char*, double def, double, double) {
    return def;
}
std::string TKrNullQMLibHandlers::KrGetOpenFileName(const char*, const char*, const char* def) {
    return Text(def);
}
std::string TKrNullQMLibHandlers::KrGetSaveFileName(const char*, const char*, const char* def) {
    return Text(def);
}

// --- Lists ----------------------------------------------------------------------------------------------

TKrCheckList TKrChecks::GetChecks() const {
    TKrCheckList list;
    list.reserve(m_checks.size());
    for (const TKrCheck& c : m_checks)
        list.emplace_back(c.GetLabel(), c.GetValue());
    return list;
}

// --- Installation and forwarding ------------------------------------------------------------------------

TKrQMLibHandlers* KrQMLibSetHandlers(TKrQMLibHandlers* handler) noexcept {
    return g_handlers.exchange(handler ? handler : &g_nullHandlers, std::memory_order_acq_rel);
}

TKrQMLibHandlers* KrQMLibSetNullHandlers() noexcept {
    return KrQMLibSetHandlers(nullptr);
}

TKrQMLibHandlers* KrQMLibGetHandlers() noexcept {
    return &Handlers();
}

void KrError(const char* text) {
    Handlers().KrError(Text(text));
}

void KrPause() {
    Handlers().KrPause();
}

bool KrYesOrNo(const char* text, bool def) {
    return Handlers().KrYesOrNo(Text(text), def);
}

int KrYesNoCancel(const char* text, int def) {
    return Handlers().KrYesNoCancel(Text(text), def);
}

unsigned KrGetButtonDecision(const char* caption, const char* text, const std::vector<std::string>& labels) {
    if (labels.empty()) return 0;
    caption = Text(caption);
    text = Text(text);
    TKrQMLibHandlers& h = Handlers();
    const unsigned long count = labels.size();
    const unsigned max_buttons = h.GetMaxButtons();
    KR_CHECK(max_buttons >= 10);
    if (count > 4294967295u) throw TKrMessage("@KrGetButtonDecision: too many labels (%1%)") << count;
    const unsigned n = static_cast<unsigned>(count);
    // A list that fits is the handler's own business: its answer goes back unchanged, even one
    // outside the list (a dialog closed without a choice may report such a value).
    if (n <= max_buttons) return h.KrGetButtonDecision(caption, text, labels);

    const unsigned pageSize = max_buttons - 3;
    std::vector<std::string> page;
    unsigned s = 0;
    for (;;) {
        const unsigned e = PageEnd(s, pageSize, n);
        const unsigned back = s > 0 ? 1 : 0;
        unsigned previous = 0;
        page.clear();
        if (back) {
            previous = s - pageSize;
            if (previous == 1) previous = 0;
            page.push_back(RangeLabel("<<", previous, s - 1, n));
        }
        page.insert(page.end(), labels.begin() + s, labels.begin() + e);
        if (e < n) {
            page.push_back(RangeLabel(">>", e, PageEnd(e, pageSize, n) - 1, n));
            page.push_back(labels[n - 1]);
        }
        // Anything past the page's labels other than the forward button stands for the
        // repeated last label; on the last page, which has neither, that is any larger answer.
        const unsigned r = h.KrGetButtonDecision(caption, text, page);
        if (r < back)
            s = previous;
        else if (r < back + (e - s))
            return s + r - back;
        else if (r == back + (e - s) && e < n)
            s = e;
        else
            return n - 1;
    }
}

unsigned KrGetButtonDecision(const char* caption, const char* text, const TKrButtons& buttons) {
    return KrGetButtonDecision(caption, text, buttons.GetLabels());
}

bool KrGetCheckboxDecision(const char* caption, const char* text, const TKrCheckList& checks) {
    if (checks.empty()) return false;
    return Handlers().KrGetCheckboxDecision(Text(caption), Text(text), checks);
}

bool KrGetCheckboxDecision(const char* caption, const char* text, const TKrChecks& checks) {
    return KrGetCheckboxDecision(caption, text, checks.GetChecks());
}

void KrShowValue(TShowType type, const char* caption, const char* text) {
    Handlers().KrShowValue(type, Text(caption), Text(text));
}

void KrShowString(const char* caption, const char* text) {
    KrShowValue(TE_ShowType::String, caption, text);
}

void KrShowLong(const char* caption, long v) {
    const unsigned long u = static_cast<unsigned long>(v);
    const std::string text =
        Chars(v) + " = " + Chars(u) + "u = 0x" + HexUpper(u) + " = -0x" + HexUpper(0ul - u);
    KrShowValue(TE_ShowType::Integer, caption, text.c_str());
}

void KrShowDouble(const char* caption, double v) {
    const std::string text =
        Chars(v, std::chars_format::general, 6) + " = " + Chars(v, std::chars_format::scientific, 16);
    KrShowValue(TE_ShowType::Double, caption, text.c_str());
}

std::string KrGetString(const char* caption, const char* def) {
    return Handlers().KrGetString(Text(caption), Text(def));
}

long KrGetLong(const char* caption, long def, long min, long max) {
    return Handlers().KrGetLong(Text(caption), def, min, max);
}

double KrGetDouble(const char* caption, double def, double min, double max) {
    return Handlers().KrGetDouble(Text(caption), def, min, max);
}

std::string KrGetOpenFileName(const char* caption, const char* filter, const char* def) {
    return Handlers().KrGetOpenFileName(Text(caption), Text(filter), Text(def));
}

std::string KrGetSaveFileName(const char* caption, const char* filter, const char* def) {
    return Handlers().KrGetSaveFileName(Text(caption), Text(filter), Text(def));
}
