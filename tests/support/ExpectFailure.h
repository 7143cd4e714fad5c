#pragma once
// Checking that a call fails as it should: with the failure type the caller
// catches and the message the user is shown.
#include <optional>
#include <string>
#include <typeinfo>

#include <gtest/gtest.h>

// Runs `call`, which must raise an `E` whose message is `text`; the failure
// raised, for further checks, or nothing. A failure of another type ends the
// test as an unexpected exception.
template <typename E, typename Call>
std::optional<E> ExpectFailure(Call&& call, const std::string& text)
{
    try {
        call();
    } catch (const E& failure) {
        EXPECT_EQ(failure.Message(), text);
        return failure;
    }
    ADD_FAILURE() << "no " << typeid(E).name() << " was raised";
    return std::nullopt;
}
