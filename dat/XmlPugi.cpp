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

// pugixml's traversal follows the nodes' parent links instead of recursing, so a document
// nested a hundred thousand deep is walked in constant stack space.
class ElementWalker : public pugi::xml_tree_walker {
public:
    ElementWalker(LineCounter& lines, const std::function<void(const XmlElementStart&)>& onElement)
        : lines_(lines), onElement_(onElement) {}

    bool for_each(pugi::xml_node& node) override {
        if (node.type() != pugi::node_element)
            return true;
        XmlElementStart element;
        element.depth = depth();
        element.name = node.name();
        for (const pugi::xml_attribute& attribute : node.attributes())
            element.attributes.push_back({attribute.name(), attribute.value()});
        element.line = lines_.LineAt(node.offset_debug());
        onElement_(element);
        return true;
    }

private:
    LineCounter& lines_;
    const std::function<void(const XmlElementStart&)>& onElement_;
};

} // namespace

void ReadXmlElements(std::span<const char> document,
                     const std::function<void(const XmlElementStart&)>& onElement) {
    if (document.empty())
        throw EXmlError("the file is empty", 0);
    pugi::xml_document xml;
    // DAT files are UTF-8; a byte-order mark or declaration saying otherwise is honoured.
    const pugi::xml_parse_result result =
        xml.load_buffer(document.data(), document.size(), pugi::parse_default, pugi::encoding_auto);
    // A declaration or comments without any element; pugixml's offset is then the end of the
    // file, no help to anyone.
    if (result.status == pugi::status_no_document_element)
        throw EXmlError("the document has no root element", 0);
    LineCounter lines(document);
    // A file cut off inside an element fails at its end, where an end tag "mismatches".
    const auto rest = document.subspan(std::min<std::size_t>(
        static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0)), document.size()));
    if (result.status == pugi::status_end_element_mismatch &&
        std::all_of(rest.begin(), rest.end(),
                    [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }))
        throw EXmlError("the file ends before its elements are closed: cut off?",
                        lines.LineAt(result.offset));
    if (!result)
        throw EXmlError(result.description(), lines.LineAt(result.offset));
    ElementWalker walker(lines, onElement);
    xml.traverse(walker);
}

} // namespace quillet
