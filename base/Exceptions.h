// The exception classes of the class library. Every failure the program reports is one of these;
// the message loop shows Message() followed by a full stop.
#pragma once

#include <exception>
#include <string>

namespace quillet {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class EIntOverflow : public Exception {
public:
    EIntOverflow() : Exception("Integer overflow") {}
};

class ERangeError : public Exception {
public:
    ERangeError() : Exception("Range check error") {}
};

class EDivByZero : public Exception {
public:
    EDivByZero() : Exception("Division by zero") {}
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
};

class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("Stream write error") {}
};

class EFOpenError : public EStreamError {
public:
    explicit EFOpenError(const std::string& fileName)
        : EStreamError("Cannot open file " + fileName) {}
};

} // namespace quillet
