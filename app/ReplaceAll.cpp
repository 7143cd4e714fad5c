#include "ReplaceAll.h"

#include <cstring>
#include <vector>

std::string ReplaceAll(const std::string& source, const std::string& pattern, const std::string& replacement)
{
    if (pattern.empty())
        return source;

    // One search pass records where the matches start; the result is then
    // sized once and filled by copying each stretch between matches. The rest
    // of the source is never copied per match.
    std::vector<std::size_t> hits;
    for (std::size_t hit = source.find(pattern); hit != std::string::npos;
         hit = source.find(pattern, hit + pattern.size()))
        hits.push_back(hit);
    if (hits.empty())
        return source;

    std::string result;
    result.resize(source.size() - hits.size() * pattern.size() + hits.size() * replacement.size());
    char* out = result.data();
    std::size_t rest = 0;
    for (const std::size_t hit : hits) {
        std::memcpy(out, source.data() + rest, hit - rest);
        out += hit - rest;
        std::memcpy(out, replacement.data(), replacement.size());
        out += replacement.size();
        rest = hit + pattern.size();
    }
    std::memcpy(out, source.data() + rest, source.size() - rest);
    return result;
}
