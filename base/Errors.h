#pragma once
// Failure types shared by every part of the tool. Each carries the message
// that the application-wide handler shows to the user.
#include <windows.h>

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Arithmetic that does not fit its 32-bit type.
class EIntOverflow : public Exception {
public:
    EIntOverflow() : Exception("Integer overflow") {}
};

// A value outside the range of the type it must be stored in.
class ERangeError : public Exception {
public:
    ERangeError() : Exception("Range check error") {}
};

// The worker-thread facility could not create or start a thread.
class EThread : public Exception {
public:
    using Exception::Exception;
};

// A system call failed; carries the system error code.
class EOSError : public Exception {
public:
    EOSError(DWORD code, std::string message) : Exception(std::move(message)), code_(code) {}
    DWORD ErrorCode() const noexcept { return code_; }

private:
    DWORD code_;
};

// The system's description of an error code, in the system code page, with
// trailing blanks, line breaks and periods removed.
std::string SystemErrorText(DWORD code);

// The text shown for a failure: the message, with a period appended when it is
// not empty and its last character sorts after '.' in character code order.
std::string ExceptionDisplayText(const std::string& message);

// The message of whatever `error` holds; a failure that is not one of ours and
// carries no text gives a generic description.
std::string ExceptionMessage(const std::exception_ptr& error);
