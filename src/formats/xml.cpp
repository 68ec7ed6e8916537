#include "formats/xml.hpp"

#include <charconv>

#include "formats/spectrum_values.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/text.hpp"

namespace brandel::formats {

using spectrum::ErrorKind;
using spectrum::raise;

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr int deepest = 200;

bool xml_char(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The length of the UTF-8 character at the start of `s` and its code point; 0 when the bytes
// there are no UTF-8 character.
std::size_t utf8_char(std::string_view s, char32_t& cp) {
    const auto c = static_cast<unsigned char>(s[0]);
    std::size_t extra = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0)
        extra = 1, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        extra = 2, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        extra = 3, cp = c & 0x07;
    else
        return 0;
    if (s.size() <= extra)
        return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto t = static_cast<unsigned char>(s[k]);
        if ((t & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    constexpr char32_t shortest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < shortest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return extra + 1;
}

class Parser {
  public:
    explicit Parser(std::string_view bytes) : s_(bytes) {}

    XmlElement document() {
        if (s_.starts_with("\xEF\xBB\xBF"))
            i_ = 3;
        skip_misc(true);
        if (at_end() || s_[i_] != '<')
            fail("no root element");
        XmlElement root = element(0);
        skip_misc(false);
        if (!at_end())
            fail("text after the root element");
        return root;
    }

  private:
    bool at_end() const { return i_ >= s_.size(); }
    bool ahead(std::string_view text) const { return s_.substr(i_).starts_with(text); }

    [[noreturn]] void fail(const std::string& what) const {
        raise(ErrorKind::unreadable,
              "line " + std::to_string(line_number_at(s_, i_)) + " of the XML: " + what);
    }

    // Moves past `end`, which must come.
    void skip_past(std::string_view end, const char* what) {
        const std::size_t at = s_.find(end, i_);
        if (at == std::string_view::npos)
            fail(std::string(what) + " is not closed");
        i_ = at + end.size();
    }

    // Blanks, comments and processing instructions; before the root also a document type.
    void skip_misc(bool prolog) {
        while (!at_end()) {
            if (space(s_[i_])) {
                ++i_;
            } else if (ahead("<!--")) {
                skip_past("-->", "a comment");
            } else if (ahead("<?")) {
                skip_past("?>", "a processing instruction");
            } else if (prolog && ahead("<!DOCTYPE")) {
                int depth = 0;
                for (; !at_end(); ++i_) {
                    if (s_[i_] == '[')
                        ++depth;
                    else if (s_[i_] == ']')
                        --depth;
                    else if (s_[i_] == '>' && depth <= 0)
                        break;
                }
                if (at_end())
                    fail("the document type is not closed");
                ++i_;
            } else {
                return;
            }
        }
    }

    std::string_view name() {
        const std::size_t start = i_;
        while (!at_end() && !space(s_[i_]) && s_[i_] != '>' && s_[i_] != '/' && s_[i_] != '=' &&
               s_[i_] != '<' && s_[i_] != '"' && s_[i_] != '\'')
            ++i_;
        if (i_ == start)
            fail("a name is missing");
        return s_.substr(start, i_ - start);
    }

    static std::string local(std::string_view qualified) {
        const std::size_t colon = qualified.rfind(':');
        return std::string(colon == std::string_view::npos ? qualified
                                                           : qualified.substr(colon + 1));
    }

    void skip_space() {
        while (!at_end() && space(s_[i_]))
            ++i_;
    }

    // At "&": appends the character the reference stands for.
    void reference(std::string& out) {
        const std::size_t semicolon = s_.find(';', i_);
        if (semicolon == std::string_view::npos || semicolon - i_ > 12)
            fail("an \"&\" that starts no reference");
        const std::string_view ref = s_.substr(i_ + 1, semicolon - i_ - 1);
        static constexpr std::pair<std::string_view, char> named[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& [entity, c] : named) {
            if (ref == entity) {
                out += c;
                i_ = semicolon + 1;
                return;
            }
        }
        unsigned long cp = 0;
        const bool hex = ref.starts_with("#x");
        const std::string_view digits = ref.substr(hex ? 2 : 1);
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
        if (!ref.starts_with('#') || digits.empty() || ec != std::errc() ||
            end != digits.data() + digits.size() || !xml_char(static_cast<char32_t>(cp)))
            fail("the reference &" + std::string(ref) + "; stands for no character");
        out += spectrum::to_utf8(std::u32string(1, static_cast<char32_t>(cp)));
        i_ = semicolon + 1;
    }

    // Character data up to the next "<" (or, in an attribute, the closing quote).
    void text(std::string& out, char stop) {
        while (!at_end() && s_[i_] != stop) {
            const std::size_t next =
                std::min(s_.find_first_of(stop == '<' ? "<&" : "<&\"'", i_), s_.size());
            out.append(s_.substr(i_, next - i_));
            i_ = next;
            if (at_end() || s_[i_] == stop)
                return;
            if (s_[i_] == '&')
                reference(out);
            else if (s_[i_] == '<')
                fail("a \"<\" inside an attribute value");
            else
                out += s_[i_++];  // the other quote
        }
    }

    XmlElement element(int depth) {
        if (depth > deepest)
            fail("elements are nested deeper than " + std::to_string(deepest));
        XmlElement e;
        e.line = line_number_at(s_, i_);
        ++i_;  // "<"
        const std::string_view qualified = name();
        e.name = local(qualified);
        for (;;) {
            skip_space();
            if (at_end())
                fail("the start tag <" + std::string(qualified) + "> is not closed");
            if (s_[i_] == '/' || s_[i_] == '>')
                break;
            std::string attribute = local(name());
            skip_space();
            if (at_end() || s_[i_] != '=')
                fail("the attribute " + attribute + " has no value");
            ++i_;
            skip_space();
            if (at_end() || (s_[i_] != '"' && s_[i_] != '\''))
                fail("the value of " + attribute + " is not quoted");
            const char quote = s_[i_++];
            std::string value;
            text(value, quote);
            if (at_end())
                fail("the value of " + attribute + " is not closed");
            ++i_;
            e.attributes.emplace_back(std::move(attribute), std::move(value));
        }
        if (s_[i_] == '/') {
            if (!ahead("/>"))
                fail("a \"/\" inside the start tag <" + std::string(qualified) + ">");
            i_ += 2;
            return e;
        }
        ++i_;  // ">"
        for (;;) {
            if (at_end())
                fail("the element <" + std::string(qualified) + "> is not closed");
            if (s_[i_] != '<') {
                text(e.text, '<');
            } else if (ahead("<!--")) {
                skip_past("-->", "a comment");
            } else if (ahead("<![CDATA[")) {
                i_ += 9;
                const std::size_t end = s_.find("]]>", i_);
                if (end == std::string_view::npos)
                    fail("a CDATA section is not closed");
                e.text.append(s_.substr(i_, end - i_));
                i_ = end + 3;
            } else if (ahead("<?")) {
                skip_past("?>", "a processing instruction");
            } else if (ahead("</")) {
                i_ += 2;
                const std::string_view closing = name();
                if (closing != qualified)
                    fail("the end tag </" + std::string(closing) + "> closes <" +
                         std::string(qualified) + ">");
                skip_space();
                if (at_end() || s_[i_] != '>')
                    fail("the end tag </" + std::string(closing) + "> is not closed");
                ++i_;
                return e;
            } else {
                e.children.push_back(element(depth + 1));
            }
        }
    }

    std::string_view s_;
    std::size_t i_ = 0;
};

}  // namespace

void append_xml_text(std::string& out, std::string_view utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char c = utf8[i];
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '\t':
                out += "&#9;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            default: {
                char32_t cp = 0;
                const std::size_t length = utf8_char(utf8.substr(i), cp);
                if (length == 0 || !xml_char(cp)) {
                    out += replacement;
                    i += length == 0 ? 1 : length;
                } else {
                    out.append(utf8.substr(i, length));
                    i += length;
                }
                continue;
            }
        }
        ++i;
    }
}

const XmlElement* XmlElement::child(std::string_view local_name) const {
    for (const XmlElement& c : children)
        if (c.name == local_name)
            return &c;
    return nullptr;
}

const std::string* XmlElement::attribute(std::string_view local_name) const {
    for (const auto& [name, value] : attributes)
        if (name == local_name)
            return &value;
    return nullptr;
}

XmlElement parse_xml(std::string_view bytes) {
    return Parser(bytes).document();
}

}  // namespace brandel::formats
