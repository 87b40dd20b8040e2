#include "text_escape.h"

#include <cstdint>
#include <cstdio>

namespace {

const uint32_t REPLACEMENT_CHARACTER = 0xFFFD;

// 0x80 to 0x9F, where code page 1252 departs from Latin-1; zero marks the five bytes it
// leaves undefined. Every other byte is the code point of the same value.
const uint16_t HIGH_CONTROL_RANGE[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

uint32_t CodePoint(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F) {
        uint16_t mapped = HIGH_CONTROL_RANGE[byte - 0x80];
        return mapped != 0 ? mapped : REPLACEMENT_CHARACTER;
    }
    return byte;
}

void AppendUtf8(std::string* out, uint32_t code)
{
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool IsControl(uint32_t code)
{
    return code < 0x20 || code == 0x7F;
}

}  // namespace

std::string HtmlText(const std::string& windows1252)
{
    std::string out;
    out.reserve(windows1252.size() + windows1252.size() / 2);
    for (unsigned char byte : windows1252) {
        uint32_t code = CodePoint(byte);
        switch (code) {
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
            out += "&#39;";
            break;
        default:
            // U+2400 to U+241F picture the C0 controls, U+2421 pictures DEL.
            AppendUtf8(&out, IsControl(code) ? (code == 0x7F ? 0x2421 : 0x2400 + code) : code);
        }
    }
    return out;
}

std::string JsonString(const std::string& windows1252)
{
    std::string out = "\"";
    out.reserve(windows1252.size() + windows1252.size() / 2 + 2);
    for (unsigned char byte : windows1252) {
        uint32_t code = CodePoint(byte);
        if (code == '"' || code == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(code));
        } else if (IsControl(code) || code == '<' || code == '>' || code == '&') {
            char escape[8] = {};
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
            out += escape;
        } else {
            AppendUtf8(&out, code);
        }
    }
    out.push_back('"');
    return out;
}
