#pragma once
// The launcher library's message table: each message a code and its text.
#include <cstdint>
#include <span>
#include <string>

struct TStMessage {
    std::int32_t Code;
    const char* Text;
};

// FileName cannot be empty when RunParameters is specified.
constexpr std::int32_t stscNoFileNameWithParams = 250;

// The library's own table.
std::span<const TStMessage> StMessageTable() noexcept;

// The text `table` holds for `code`. Every entry is looked at in order, and
// each one with that code replaces what was found before it, so the last one
// wins; no entry with the code gives an empty text.
std::string StLookupMessage(std::span<const TStMessage> table, std::int32_t code);

// The text of the library's own table for `code`.
std::string StMessageText(std::int32_t code);
