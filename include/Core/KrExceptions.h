// Messages by identifier, conversion of caught exceptions, system error texts and internal checks.
#pragma once

#include "Core/KrMessage.h"

#include <string>

/// A message whose format is the language text "general." + `id` of this library (empty when
/// there is none). A null `id` throws std::runtime_error.
KRSTD_API TKrMessage KrMsg_helper(const char* id);

/// Inside a catch block: the current exception as a message. TKrMessage is returned as is;
/// std::bad_alloc and other std::exception become "E_std_bad_alloc_what_type" /
/// "E_std_exception_what_type" with what() and ""; anything else "E_unknown_type" with "".
KRSTD_API TKrMessage KrGetExceptionReason();

/// Inside a catch block: rethrows a TKrMessage (the same object) with `context` added to its
/// trace, or throws the converted foreign exception with `context` in its trace.
[[noreturn]] KRSTD_API void KrTraceException(const TKrMessage& context);

/// The system's text for an errno value ("GetLastError()=<code>" when it has none), on one line
/// without trailing blanks. Without an argument: the current errno.
KRSTD_API std::string GetSystemErrorMessageString(int code);
KRSTD_API std::string GetSystemErrorMessageString();
/// The same text as a message "%1%".
KRSTD_API TKrMessage GetSystemErrorMessage(int code);
KRSTD_API TKrMessage GetSystemErrorMessage();

/// Throws "@Internal logic error in %1% (%2%): (%3%)==false." with function, line and condition.
[[noreturn]] KRSTD_API void KrThrowInternalError(const char* function, int line, const char* condition);
/// Throws "@Internal logic error in %1% (%2%): %3%." with function, line and an explanation.
[[noreturn]] KRSTD_API void KrThrowInternalErrorText(const char* function, int line, const std::string& text);

/// Consistency check: throws the internal-error message naming this function, line and condition.
#define KR_CHECK(cond)                                                                                       \
    do {                                                                                                     \
        if (!(cond)) KrThrowInternalError(__PRETTY_FUNCTION__, __LINE__, #cond);                             \
    } while (0)
/// Consistency check with a free explanation instead of the condition text.
#define KR_CHECK_TEXT(cond, text)                                                                            \
    do {                                                                                                     \
        if (!(cond)) KrThrowInternalErrorText(__PRETTY_FUNCTION__, __LINE__, (text));                        \
    } while (0)
