// Where trace output goes: the debugger console in the program, a string in tests and the
// command-line tool. LogLine ends the line after the text; LogText leaves it open.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void LogLine(std::string_view text) = 0;
    virtual void LogText(std::string_view text) = 0;
};

// Discards everything.
class NullSink final : public TextSink {
public:
    void LogLine(std::string_view) override {}
    void LogText(std::string_view) override {}
};

// Collects the text, each ended line ending in "\n".
class StringSink final : public TextSink {
public:
    void LogLine(std::string_view text) override {
        text_ += text;
        text_ += '\n';
    }
    void LogText(std::string_view text) override { text_ += text; }
    const std::string& Text() const noexcept { return text_; }
    void Clear() noexcept { text_.clear(); }

private:
    std::string text_;
};

} // namespace quillet
