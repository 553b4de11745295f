// IKrInterface: the root identity record and the failed-cast message of GetInterface.
#include "Core/KrInterface.h"

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <stdexcept>
#include <string>

TKrUIDObject IKrInterface::IKrInterfaceUIDObj = {"IKrInterface"};

IKrInterface* IKrInterface::GetInterface_Int(TKrUIDObject* id) {
    return id == &IKrInterfaceUIDObj ? this : nullptr;
}

IKrInterface::~IKrInterface() = default;

namespace {
std::string TypeName(const std::type_info& t) {
    const char* raw = t.name();
    if (*raw == '*') ++raw;
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(raw, nullptr, nullptr, &status),
                                                     std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(raw);
}
} // namespace

void KrThrowInvalidInterfaceCast(const std::type_info& object, const std::type_info& target) {
    std::string o = TypeName(object), t = TypeName(target);
    std::string text(o.size() + t.size() + 64, '\0');
    int n = std::snprintf(&text[0], text.size(), "@Invalid casting in %s::IKrInterface::GetInterface<%s>()",
                          o.c_str(), t.c_str());
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0u);
    throw std::runtime_error(text);
}
