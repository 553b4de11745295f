// A question handler for tests: records what it is shown and gives scripted button answers.
#pragma once

#include "Utils/KrQMLibHandlers.h"

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

namespace krtest {

/// Answers like the null handler except for button decisions, which pop `answers` (running out
/// is a test failure, thrown as std::logic_error), and records every page and shown value.
/// Installs itself for its lifetime.
class TScriptedQMLibHandlers : public TKrNullQMLibHandlers {
public:
    TScriptedQMLibHandlers() : m_previous(KrQMLibSetHandlers(this)) {}
    ~TScriptedQMLibHandlers() { KrQMLibSetHandlers(m_previous); }
    TScriptedQMLibHandlers(const TScriptedQMLibHandlers&) = delete;
    TScriptedQMLibHandlers& operator=(const TScriptedQMLibHandlers&) = delete;

    unsigned maxButtons = 10;
    std::deque<unsigned> answers;
    std::vector<std::vector<std::string>> pages;
    std::vector<std::string> shown; // "type caption: text"

    unsigned GetMaxButtons() override { return maxButtons; }
    unsigned KrGetButtonDecision(const char*, const char*, const std::vector<std::string>& labels) override {
        pages.push_back(labels);
        if (answers.empty()) throw std::logic_error("no scripted answer left");
        const unsigned r = answers.front();
        answers.pop_front();
        return r;
    }
    void KrShowValue(TShowType type, const char* caption, const char* text) override {
        shown.push_back(std::to_string(static_cast<int>(type)) + " " + caption + ": " + text);
    }

private:
    TKrQMLibHandlers* m_previous;
};

} // namespace krtest
