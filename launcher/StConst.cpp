#include "StConst.h"

#include <iterator>

namespace {

const TStMessage kMessages[] = {
    {stscNoFileNameWithParams, "FileName cannot be empty when RunParameters is specified"},
};

} // namespace

std::span<const TStMessage> StMessageTable() noexcept
{
    return kMessages;
}

std::string StLookupMessage(std::span<const TStMessage> table, std::int32_t code)
{
    std::string text;
    for (const TStMessage& entry : table) {
        if (entry.Code == code)
            text = entry.Text;
    }
    return text;
}

std::string StMessageText(std::int32_t code)
{
    return StLookupMessage(StMessageTable(), code);
}
