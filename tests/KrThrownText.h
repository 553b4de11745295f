// Test helper: the text of the exception a call throws, so one EXPECT_EQ checks both that it
// threw and what it said.
#pragma once

#include "Core/KrMessage.h"

#include <functional>
#include <string>

namespace krtest {

/// The what() of the E that `f` throws, or "<no exception>"; other exceptions pass through.
template <class E = TKrMessage> std::string ThrownText(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "<no exception>";
}

} // namespace krtest
