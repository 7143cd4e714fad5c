#pragma once
// Whole-file routines: a file's complete content as one byte string, and a
// byte string as a file's complete content. Nothing is converted on the way.
#include "base/Errors.h"
#include "base/Handles.h"

#include <string>

// The file could not be opened for reading.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

// The file could not be created or truncated for writing.
class EFCreateError : public Exception {
public:
    using Exception::Exception;
};

// Fewer bytes reached the file than were written.
class EWriteError : public Exception {
public:
    EWriteError();
};

// An existing file, open for reading from its start while other openers may
// read it but not write it. Throws EFOpenError when it cannot be opened.
UniqueFile OpenFileToRead(const std::string& fileName);

// The whole content of an existing file. While it is read, other openers may
// read the file but not write it. Throws EFOpenError when it cannot be opened.
std::string LoadTextFile(const std::string& fileName);

// Creates the file, or truncates it when it exists, and writes every byte of
// `text` in one request. Throws EFCreateError or EWriteError.
void SaveTextFile(const std::string& text, const std::string& fileName);
