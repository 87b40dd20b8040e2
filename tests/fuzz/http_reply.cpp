// The wizard's reading of a directory's HTTP reply: bytes as the receives hand them over,
// the 64 KiB bound, and the body after the first empty line.
#include "fuzz_check.h"
#include "http_reply.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Where the body starts, found byte by byte: after the first CR LF CR LF, or npos.
size_t BodyStart(const std::string& reply)
{
    if (reply.size() <= 5)
        return std::string::npos;
    for (size_t i = 0; i + 4 <= reply.size(); ++i) {
        if (reply[i] == '\r' && reply[i + 1] == '\n' && reply[i + 2] == '\r' && reply[i + 3] == '\n')
            return i + 4;
    }
    return std::string::npos;
}

}  // namespace

// The first byte sets how many bytes each receive hands over (1 to 4096); the rest is the
// reply.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t piece = 1 + (static_cast<size_t>(data[0]) * 4096) / 256;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    std::string reply;
    for (size_t offset = 0; offset < length; offset += piece) {
        size_t part = length - offset < piece ? length - offset : piece;
        if (!AddReplyBytes(&reply, bytes + offset, part)) {
            // Refused only beyond the bound; the reader then trusts nothing of the reply.
            FUZZ_CHECK(reply.size() > HTTP_MAX_REPLY);
            FUZZ_CHECK(length > HTTP_MAX_REPLY);
            return 0;
        }
    }
    FUZZ_CHECK(reply.size() == length && length <= HTTP_MAX_REPLY);

    int bodyLength = -1;
    char* body = ExtractBody(reply, &bodyLength);
    size_t start = BodyStart(reply);
    if (start == std::string::npos) {
        FUZZ_CHECK(body == nullptr && bodyLength == -1);
        return 0;
    }
    FUZZ_CHECK(body != nullptr);
    FUZZ_CHECK(bodyLength >= 0 && static_cast<size_t>(bodyLength) == length - start);
    FUZZ_CHECK(std::memcmp(body, bytes + start, static_cast<size_t>(bodyLength)) == 0);
    std::free(body);
    return 0;
}
