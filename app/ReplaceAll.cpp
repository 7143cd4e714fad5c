#include "ReplaceAll.h"

std::string ReplaceAll(const std::string& source, const std::string& pattern, const std::string& replacement)
{
    if (pattern.empty())
        return source;
    std::size_t hit = source.find(pattern);
    if (hit == std::string::npos)
        return source;

    // The result is built once, appending each stretch between matches; the
    // rest of the source is never copied per match.
    std::string result;
    result.reserve(source.size());
    std::size_t rest = 0;
    while (hit != std::string::npos) {
        result.append(source, rest, hit - rest);
        result += replacement;
        rest = hit + pattern.size();
        hit = source.find(pattern, rest);
    }
    result.append(source, rest, std::string::npos);
    return result;
}
