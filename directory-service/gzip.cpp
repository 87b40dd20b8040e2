#include "gzip.h"

#include <strings.h>
#include <zlib.h>

#include <cstdlib>

std::string Gzip(const std::string& data)
{
    z_stream stream = {};
    // 15 bits of window, plus 16 for the gzip header and trailer. Level 1: pages of many
    // alike rows shrink about as much as with more effort, at a fraction of the time.
    if (deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return std::string();
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : std::string();
}

bool AcceptsGzip(const char* acceptEncoding)
{
    if (acceptEncoding == nullptr) {
        return false;
    }
    const char* p = acceptEncoding;
    while (*p != '\0') {
        while (*p == ' ' || *p == '\t' || *p == ',') {
            ++p;
        }
        const char* token = p;
        while (*p != '\0' && *p != ',' && *p != ';' && *p != ' ' && *p != '\t') {
            ++p;
        }
        size_t length = static_cast<size_t>(p - token);
        bool gzip = length == 4 && strncasecmp(token, "gzip", 4) == 0;
        // Parameters up to the next comma; only q matters, and only q=0 refuses.
        bool refused = false;
        while (*p != '\0' && *p != ',') {
            if (*p == ';') {
                const char* parameter = p + 1;
                while (*parameter == ' ' || *parameter == '\t') {
                    ++parameter;
                }
                if ((parameter[0] == 'q' || parameter[0] == 'Q') && parameter[1] == '=') {
                    refused = std::strtod(parameter + 2, nullptr) == 0.0;
                }
            }
            ++p;
        }
        if (gzip) {
            return !refused;
        }
    }
    return false;
}
