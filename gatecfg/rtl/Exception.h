#pragma once
// Root of every exception the gatecfg code raises: it carries one message text.
#include <exception>
#include <string>

namespace rtl {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

// A broken internal invariant that callers may still catch and report.
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

class EComponentError : public Exception {
public:
    using Exception::Exception;
};

// Raises EAssertionFailed with the text when the condition does not hold.
void Assert(bool condition, const char* message);

}  // namespace rtl
