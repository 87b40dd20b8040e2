// Host names as strangers can type them, through the one function for each output format.
#include "text_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EscapeCase {
    const char* name;
    std::string windows1252;
    std::string html;
    std::string json;
};

const EscapeCase CASES[] = {
    {"script element", "<script>alert(\"x\")</script>",
     "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;",
     "\"\\u003cscript\\u003ealert(\\\"x\\\")\\u003c/script\\u003e\""},
    {"image with a handler", "<img src=x onerror='a&b'>",
     "&lt;img src=x onerror=&#39;a&amp;b&#39;&gt;",
     "\"\\u003cimg src=x onerror='a\\u0026b'\\u003e\""},
    {"entity that is already one", "&amp;", "&amp;amp;", "\"\\u0026amp;\""},
    {"backslashes", "C:\\games\\", "C:\\games\\", "\"C:\\\\games\\\\\""},
    {"control bytes", std::string("a\0b\x01\x1f\x7f", 6), "a\xE2\x90\x80" "b\xE2\x90\x81\xE2\x90\x9F\xE2\x90\xA1",
     "\"a\\u0000b\\u0001\\u001f\\u007f\""},
    {"line breaks", "a\r\nb", "a\xE2\x90\x8D\xE2\x90\x8A" "b", "\"a\\u000d\\u000ab\""},
    {"1252 punctuation", "\x80 \x84\x93hi\x94 \x85 \x99", "\xE2\x82\xAC \xE2\x80\x9E\xE2\x80\x9Chi\xE2\x80\x9D \xE2\x80\xA6 \xE2\x84\xA2",
     "\"\xE2\x82\xAC \xE2\x80\x9E\xE2\x80\x9Chi\xE2\x80\x9D \xE2\x80\xA6 \xE2\x84\xA2\""},
    {"1252 letters", "\x8A\x8C\x8E\x9A\x9C\x9E\x9F\x83", "\xC5\xA0\xC5\x92\xC5\xBD\xC5\xA1\xC5\x93\xC5\xBE\xC5\xB8\xC6\x92",
     "\"\xC5\xA0\xC5\x92\xC5\xBD\xC5\xA1\xC5\x93\xC5\xBE\xC5\xB8\xC6\x92\""},
    {"the five undefined bytes", "\x81\x8D\x8F\x90\x9D",
     "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
     "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    {"Latin-1 half", "\xA0\xAB\xE9\xFF", "\xC2\xA0\xC2\xAB\xC3\xA9\xC3\xBF", "\"\xC2\xA0\xC2\xAB\xC3\xA9\xC3\xBF\""},
    {"plain name", "Ann's server", "Ann&#39;s server", "\"Ann's server\""},
    {"empty", "", "", "\"\""},
};

TEST(TextEscape, EachFormatShowsTheCharactersAndRunsNothing)
{
    for (const EscapeCase& c : CASES) {
        EXPECT_EQ(HtmlText(c.windows1252), c.html) << c.name;
        EXPECT_EQ(JsonString(c.windows1252), c.json) << c.name;
    }
}

// Well-formed UTF-8 with no control character in it.
bool CleanUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 0 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || i + length > text.size() || (length == 1 && (lead < 0x20 || lead == 0x7F))) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// Every byte alone: the output is clean UTF-8 and holds nothing that would end the text it
// stands in or start markup.
TEST(TextEscape, NoByteLeavesItsContext)
{
    for (int b = 0; b < 256; ++b) {
        std::string byte(1, static_cast<char>(b));
        std::string html = HtmlText(byte);
        EXPECT_TRUE(CleanUtf8(html)) << "byte " << b << " in HTML";
        EXPECT_EQ(html.find_first_of("<>\"'"), std::string::npos) << "byte " << b << ": " << html;
        EXPECT_TRUE(html.find('&') == std::string::npos || html.back() == ';') << "byte " << b << ": " << html;

        std::string json = JsonString(byte);
        ASSERT_GE(json.size(), 3u) << "byte " << b;
        EXPECT_TRUE(json.front() == '"' && json.back() == '"') << "byte " << b << ": " << json;
        std::string inner = json.substr(1, json.size() - 2);
        EXPECT_TRUE(CleanUtf8(inner)) << "byte " << b << " in JSON";
        EXPECT_EQ(inner.find_first_of("<>&"), std::string::npos) << "byte " << b << ": " << json;
        if (inner.find_first_of("\\\"") != std::string::npos) {
            EXPECT_EQ(inner[0], '\\') << "byte " << b << ": a quote or backslash without escape: " << json;
        }
    }
}

}  // namespace
