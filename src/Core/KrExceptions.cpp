// Messages by identifier, conversion of caught exceptions, system error texts, internal checks.
#include "Core/KrExceptions.h"
#include "Core/KrModule.h"

#include <cerrno>
#include <new>
#include <stdexcept>
#include <system_error>

TKrMessage KrMsg_helper(const char* id) {
    if (!id) throw std::runtime_error("@KrMsg_helper(): Invalid parameter: rid==0.");
    return TKrMessage(KrModule_Initializer::instance().get_resource_string(std::string("general.") + id));
}

TKrMessage KrGetExceptionReason() {
    try {
        throw;
    } catch (const TKrMessage& m) {
        return m;
    } catch (const std::bad_alloc& e) {
        return KrMsg_helper("E_std_bad_alloc_what_type") << e.what() << "";
    } catch (const std::exception& e) {
        return KrMsg_helper("E_std_exception_what_type") << e.what() << "";
    } catch (...) {
        return KrMsg_helper("E_unknown_type") << "";
    }
}

void KrTraceException(const TKrMessage& context) {
    try {
        throw;
    } catch (TKrMessage& m) {
        m.AppendMsg(context);
        throw;
    } catch (...) {
        TKrMessage converted = KrGetExceptionReason();
        converted.AppendMsg(context);
        throw converted;
    }
}

std::string GetSystemErrorMessageString(int code) {
    std::string text = std::system_category().message(code);
    if (text.empty()) text = "GetLastError()=" + std::to_string(code);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += ' ';
        } else {
            out += c;
        }
    }
    out.erase(out.find_last_not_of(' ') + 1);
    return out;
}

std::string GetSystemErrorMessageString() {
    return GetSystemErrorMessageString(errno);
}

TKrMessage GetSystemErrorMessage(int code) {
    return TKrMessage("%1%") << GetSystemErrorMessageString(code);
}

TKrMessage GetSystemErrorMessage() {
    return GetSystemErrorMessage(errno);
}

void KrThrowInternalError(const char* function, int line, const char* condition) {
    throw TKrMessage("@Internal logic error in %1% (%2%): (%3%)==false.") << function << line << condition;
}

void KrThrowInternalErrorText(const char* function, int line, const std::string& text) {
    throw TKrMessage("@Internal logic error in %1% (%2%): %3%.") << function << line << text;
}
