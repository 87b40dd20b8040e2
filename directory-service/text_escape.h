#pragma once
// Host names are typed by strangers, in the game's 8-bit Windows character set (code page
// 1252), and reach web pages and JSON documents. Each output format has one function here,
// the only way text enters it: the bytes become the same characters in UTF-8, and nothing
// in them can act as markup or syntax.
#include <string>

// Text for an HTML element's content or a quoted attribute value. Markup characters and
// both quotes become character references; control bytes show as their visible symbols
// (U+2400 onwards) and the bytes that code page 1252 leaves undefined as U+FFFD.
std::string HtmlText(const std::string& windows1252);

// A complete JSON string, quotes included. Control bytes are \u escapes; so are < > &, so
// that the document stays inert even when a page embeds it. Undefined bytes become U+FFFD.
std::string JsonString(const std::string& windows1252);
