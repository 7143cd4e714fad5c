#pragma once
// Base types of the launcher library: its component base and its failures.
#include "StConst.h"

#include "base/Errors.h"
#include "../toolkit/Component.h"

#include <cstdint>
#include <string>

// A failure of the library, with the message code it was raised with.
class EStException : public Exception {
public:
    EStException(std::int32_t code, std::string message) : Exception(std::move(message)), ErrorCode(code) {}
    std::int32_t ErrorCode;
};

class EStSpawnError : public EStException {
public:
    using EStException::EStException;
};

class TStComponent : public TComponent {
public:
    explicit TStComponent(TComponent* owner) : TComponent(owner) {}
    // Always "4.03".
    std::string Version() const { return "4.03"; }
    // Ignored: the version cannot be changed.
    void SetVersion(const std::string& /*value*/) noexcept {}
};

// Raises the library error of type E for `code`, carrying the text the
// message table holds for that code.
template <typename E>
[[noreturn]] void RaiseStError(std::int32_t code)
{
    throw E(code, StMessageText(code));
}
