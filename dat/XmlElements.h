// The little the DAT reader needs of an XML parser: each element's start, in document order.
// pugixml in both builds: the Windows one compiles it from Debian's source package.
#pragma once

#include "base/Exceptions.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quillet {

struct XmlAttribute {
    std::string name;
    std::string value; // UTF-8, entities decoded
};

struct XmlElementStart {
    int depth = 0; // 0 for the root element
    std::string name;
    std::vector<XmlAttribute> attributes;
    std::uint64_t line = 0; // 1-based
};

// A document that is not well-formed XML.
class EXmlError : public Exception {
public:
    EXmlError(const std::string& reason, std::uint64_t line) : Exception(reason), line_(line) {}
    std::uint64_t Line() const noexcept { return line_; } // 0 when the parser cannot tell

private:
    std::uint64_t line_;
};

// Parses the whole document, calling `onElement` for each element start. Throws EXmlError,
// also for a document without any element (an empty file, plain text). Nesting depth is
// limited only by memory.
void ReadXmlElements(std::span<const char> document,
                     const std::function<void(const XmlElementStart&)>& onElement);

} // namespace quillet
