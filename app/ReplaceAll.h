#pragma once
#include <string>

// `source` with every occurrence of `pattern` replaced by `replacement`:
// byte-exact and case-sensitive, left to right, without overlaps; inserted
// text is never searched again. An empty pattern returns the source. Runs in
// one pass over the source.
std::string ReplaceAll(const std::string& source, const std::string& pattern, const std::string& replacement);
