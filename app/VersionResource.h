#pragma once
// What a program file's version resource says about it.
#include <string>

// The text of `key` ("CompanyName", "ProductName"...) in the version
// resource of `file`, in the resource's first language; empty when the file
// has no version resource or the resource lacks the key.
std::string VersionStringOf(const std::string& file, const std::string& key);

// The file version of `file` from the fixed part of its version resource, as
// "major.minor.build.revision"; empty when it has no version resource. Read as
// data: the file is never loaded.
std::string FileVersionOf(const std::string& file);
