#include "dat/XmlElements.h"

#include <pugixml.hpp>

#include <algorithm>

namespace quillet {

namespace {

// Lines are counted as the walk goes, offsets only ever growing in document order.
class LineCounter {
public:
    explicit LineCounter(std::span<const char> document) : document_(document) {}
    std::uint64_t LineAt(std::ptrdiff_t offset) {
        const auto end = static_cast<std::size_t>(
            std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(document_.size())));
        if (end < counted_) {
            counted_ = 0;
            line_ = 1;
        }
        line_ += static_cast<std::uint64_t>(
            std::count(document_.begin() + static_cast<std::ptrdiff_t>(counted_),
                       document_.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
        counted_ = end;
        return line_;
    }

private:
    std::span<const char> document_;
    std::size_t counted_ = 0;
    std::uint64_t line_ = 1;
};

void Walk(const pugi::xml_node& node, int depth, LineCounter& lines,
          const std::function<void(const XmlElementStart&)>& onElement) {
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        XmlElementStart element;
        element.depth = depth;
        element.name = child.name();
        for (const pugi::xml_attribute& attribute : child.attributes())
            element.attributes.push_back({attribute.name(), attribute.value()});
        element.line = lines.LineAt(child.offset_debug());
        onElement(element);
        Walk(child, depth + 1, lines, onElement);
    }
}

} // namespace

void ReadXmlElements(std::span<const char> document,
                     const std::function<void(const XmlElementStart&)>& onElement) {
    pugi::xml_document xml;
    // DAT files are UTF-8; a byte-order mark or declaration saying otherwise is honoured.
    const pugi::xml_parse_result result =
        xml.load_buffer(document.data(), document.size(), pugi::parse_default, pugi::encoding_auto);
    LineCounter lines(document);
    if (!result)
        throw EXmlError(result.description(), lines.LineAt(result.offset));
    Walk(xml, 0, lines, onElement);
}

} // namespace quillet
