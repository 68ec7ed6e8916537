#include "formats/xml.hpp"

#include <gtest/gtest.h>

#include <string>

namespace brandel::formats {
namespace {

std::string escaped(std::string_view text) {
    std::string out;
    append_xml_text(out, text);
    return out;
}

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    EXPECT_EQ(escaped("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&apos;f");
    EXPECT_EQ(escaped("\t\n\r"), "&#9;&#10;&#13;");
    EXPECT_EQ(escaped(std::string("x\x01y\x1Fz\0w", 7)), "x\uFFFDy\uFFFDz\uFFFDw");
    EXPECT_EQ(escaped("海 \xEF\xBF\xBE \xFF \xC0\xAF"), "海 \uFFFD \uFFFD \uFFFD\uFFFD")
        << "U+FFFE, a byte that is no UTF-8 and an over-long form";
    EXPECT_EQ(escaped("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(XmlText, WhatIsWrittenReadsBack) {
    const std::string text = " 海 & <b> \"q\" 'a'\t\r\n";
    const XmlElement e = parse_xml("<r a=\"" + escaped(text) + "\">" + escaped(text) + "</r>");
    EXPECT_EQ(e.text, text);
    ASSERT_NE(e.attribute("a"), nullptr);
    EXPECT_EQ(*e.attribute("a"), text);
}

TEST(XmlReader, TakesTheTreeOfADocument) {
    const XmlElement root = parse_xml(
        "\xEF\xBB\xBF<?xml version='1.0'?>\n<!DOCTYPE r [<!ELEMENT r ANY>]>\n"
        "<p:r xmlns:p='u'><!-- c --><p:a x = 'v' y=\"w\"/>t&#65;&#x42;<b><![CDATA[<&>]]></b>"
        "<?pi x?></p:r>\n<!-- after -->\n");
    EXPECT_EQ(root.name, "r");
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].name, "a");
    EXPECT_EQ(*root.children[0].attribute("y"), "w");
    EXPECT_EQ(root.text, "tAB");
    EXPECT_EQ(root.child("b")->text, "<&>");
    EXPECT_EQ(root.child("b")->line, 3u);
    EXPECT_EQ(root.child("c"), nullptr);
}

// Elements nested `depth` deep.
std::string nested(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i)
        s += "<a>";
    return s;
}

TEST(XmlReader, RefusesWhatIsNotWellFormed) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1 of the XML: no root element"},
        {"<a>", "line 1 of the XML: the element <a> is not closed"},
        {"<a></b>", "line 1 of the XML: the end tag </b> closes <a>"},
        {"<a/><b/>", "line 1 of the XML: text after the root element"},
        {"<a x=1/>", "line 1 of the XML: the value of x is not quoted"},
        {"<a x='<'/>", "line 1 of the XML: a \"<\" inside an attribute value"},
        {"<a>\n&#1;</a>", "line 2 of the XML: the reference &#1; stands for no character"},
        {"<a>&</a>", "line 1 of the XML: an \"&\" that starts no reference"},
        {"<a><!-- </a>", "line 1 of the XML: a comment is not closed"},
        {nested(300), "line 1 of the XML: elements are nested deeper than 200"},
    };
    for (const auto& [doc, reason] : cases) {
        try {
            parse_xml(doc);
            ADD_FAILURE() << "read " << doc;
        } catch (const std::exception& e) {
            EXPECT_EQ(e.what(), reason);
        }
    }
}

}  // namespace
}  // namespace brandel::formats
