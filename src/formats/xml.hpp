#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The little of XML 1.0 that the N42 files need: text escaped for writing, and a reader that
// takes a document of UTF-8 into a tree of elements.

namespace brandel::formats {

/// Appends UTF-8 text as XML character data or an attribute value: "&", "<", ">", '"' and "'"
/// as entity references, TAB, LF and CR as character references (so that a reader gets them
/// back as they were, not as blanks or LFs), and every character that XML 1.0 cannot hold (the
/// other control characters, U+FFFE, U+FFFF, bytes that are not UTF-8) as U+FFFD, the
/// replacement character.
void append_xml_text(std::string& out, std::string_view utf8);

/// One element of a document: its local name (a namespace prefix dropped), its attributes by
/// local name, the character data directly inside it (references resolved, CDATA kept) and its
/// child elements, in order.
struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<XmlElement> children;
    std::size_t line = 0;  // where its start tag stands, from 1

    /// The first child of a local name, or nullptr.
    const XmlElement* child(std::string_view local_name) const;
    /// An attribute's value, or nullptr.
    const std::string* attribute(std::string_view local_name) const;
};

/// Reads a UTF-8 document (an XML declaration, comments, processing instructions and a
/// document type declaration are passed over) into its root element. Raises an unreadable
/// error naming the line when the document is not well formed: tags that do not match, an
/// unknown entity, text after the root, elements nested deeper than 200.
XmlElement parse_xml(std::string_view bytes);

}  // namespace brandel::formats
