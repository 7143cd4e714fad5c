#pragma once
// What a program file's version resource says about it.
#include <string>

// The text of `key` ("CompanyName", "ProductName"...) in the version
// resource of `file`, in the resource's first language; empty when the file
// has no version resource or the resource lacks the key.
std::string VersionStringOf(const std::string& file, const std::string& key);

// What a setup takes from its plugin's main file, read at once.
struct TVersionInfo {
    // The company name, in the resource's first language; empty without one.
    std::string CompanyName;
    // The file version from the fixed part, "major.minor.build.revision";
    // empty without a version resource.
    std::string FileVersion;
};

// Read as data: the file is never loaded.
TVersionInfo ReadVersionInfo(const std::string& file);
