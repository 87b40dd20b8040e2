#include "http_reply.h"

#include <cstdlib>
#include <cstring>

bool AddReplyBytes(std::string* pReply, const char* pData, size_t nLength)
{
    pReply->append(pData, nLength);
    return pReply->size() <= HTTP_MAX_REPLY;
}

char* ExtractBody(const std::string& reply, int* pnBodyLength)
{
    if (reply.size() <= 5) {
        return nullptr;
    }
    size_t nHeaderEnd = reply.find("\r\n\r\n");
    if (nHeaderEnd == std::string::npos) {
        return nullptr;
    }
    size_t nBodyLength = reply.size() - nHeaderEnd - 4;
    // An empty body is still a body: the caller gets a valid block, never null.
    char* pBody = static_cast<char*>(std::malloc(nBodyLength > 0 ? nBodyLength : 1));
    if (pBody == nullptr) {
        return nullptr;
    }
    std::memcpy(pBody, reply.data() + nHeaderEnd + 4, nBodyLength);
    *pnBodyLength = static_cast<int>(nBodyLength);
    return pBody;
}
