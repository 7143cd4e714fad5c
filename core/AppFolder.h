#pragma once
// Listing rules of the tool's own folder.
#include <string>
#include <vector>

// Entries matching `pattern`, every attribute admitted, in the file system's
// order; each listed without its last extension. No match gives an empty list.
std::vector<std::string> ListLanguageNames(const std::string& pattern);
