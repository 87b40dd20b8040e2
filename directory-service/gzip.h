#pragma once
// The gzip format (RFC 1952) for answers that browsers and tools may take compressed.
#include <string>

// The data compressed; empty when zlib fails (out of memory).
std::string Gzip(const std::string& data);

// Whether an Accept-Encoding header's value takes gzip: the token is named and not with q=0.
bool AcceptsGzip(const char* acceptEncoding);
