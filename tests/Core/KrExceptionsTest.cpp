// Conversion of caught exceptions, traces, system error texts and the internal-check message.
#include "Core/KrExceptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

using ::testing::HasSubstr;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

/// The message KrGetExceptionReason makes of `ex`.
TKrMessage ReasonFor(std::exception_ptr ex) {
    try {
        std::rethrow_exception(ex);
    } catch (...) {
        return KrGetExceptionReason();
    }
}

TEST(KrExceptions, GetExceptionReasonConvertsEveryKind) {
    EXPECT_STREQ(ReasonFor(std::make_exception_ptr(TKrMessage("@mine %1%") << 1)).what(), "@mine 1");
    // Foreign exceptions: what() and "" as parameters, or "" alone for a non-std type.
    struct Case {
        std::exception_ptr ex;
        std::size_t params;
        std::string all;
    } cases[] = {
        {std::make_exception_ptr(std::bad_alloc()), 2, std::bad_alloc().what() + std::string(", ")},
        {std::make_exception_ptr(std::logic_error("broken")), 2, "broken, "},
        {std::make_exception_ptr(17), 1, ""},
    };
    for (const Case& c : cases) {
        TKrMessage m = ReasonFor(c.ex);
        EXPECT_FALSE(m.empty());
        ASSERT_EQ(m.ParameterCount(), c.params);
        m.set_format("%*%");
        EXPECT_EQ(m.std_str(), c.all);
    }
}

TEST(KrExceptions, TraceExceptionRethrowsTheSameMessageOrConvertsForeignOnes) {
    TKrMessage* address = nullptr;
    try {
        try {
            throw TKrMessage("@inner");
        } catch (TKrMessage& m) {
            address = &m;
            KrTraceException(TKrMessage("@context"));
        }
    } catch (TKrMessage& m) {
        EXPECT_EQ(&m, address);
        EXPECT_STREQ(m.what(), "@inner");
        ASSERT_NE(m.GetTrace(), nullptr);
        EXPECT_STREQ(m.GetTrace()->back().what(), "@context");
    }

    try {
        try {
            throw std::out_of_range("index");
        } catch (...) {
            KrTraceException(TKrMessage("@while reading"));
        }
    } catch (const TKrMessage& m) {
        ASSERT_EQ(m.ParameterCount(), 2u);
        ASSERT_NE(m.GetTrace(), nullptr);
        EXPECT_STREQ(m.GetTrace()->front().what(), "@while reading");
    } catch (...) {
        FAIL() << "a foreign exception must leave as TKrMessage";
    }
}

TEST(KrExceptions, MsgHelperRejectsNullAndFindsNoTextForUnknownIds) {
    EXPECT_THAT([] { KrMsg_helper(nullptr); },
                ThrowsMessage<std::runtime_error>(StrEq("@KrMsg_helper(): Invalid parameter: rid==0.")));
    TKrMessage m = KrMsg_helper("No_Such_Identifier_Anywhere") << 1;
    EXPECT_FALSE(m.empty());
    EXPECT_STREQ(m.what(), "");
}

TEST(KrExceptions, SystemErrorTextsAreOneLine) {
    EXPECT_EQ(GetSystemErrorMessageString(ENOENT), std::strerror(ENOENT));
    errno = EACCES;
    EXPECT_EQ(GetSystemErrorMessage().std_str(), std::strerror(EACCES));
    for (int code : {0, 1, 28, 9999, -5}) {
        std::string text = GetSystemErrorMessageString(code);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        EXPECT_NE(text.back(), ' ');
    }
}

void CheckedFunction(int value) {
    KR_CHECK(value > 0);
}

TEST(KrExceptions, InternalCheckNamesFunctionLineAndCondition) {
    EXPECT_NO_THROW(CheckedFunction(1));
    try {
        CheckedFunction(0);
        FAIL();
    } catch (const TKrMessage& m) {
        EXPECT_EQ(m.get_format(), "@Internal logic error in %1% (%2%): (%3%)==false.");
        EXPECT_THAT(m.what(), HasSubstr("CheckedFunction(int)"));
        EXPECT_THAT(m.what(), HasSubstr("): (value > 0)==false."));
    }
    EXPECT_THAT([] { KR_CHECK_TEXT(false, "bad state"); },
                ThrowsMessage<TKrMessage>(HasSubstr("): bad state.")));
}

} // namespace
