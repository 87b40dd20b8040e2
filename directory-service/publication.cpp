#include "publication.h"

#include <cstring>

bool ParsePublication(const unsigned char* body, size_t size, ServerEntry* entry, std::string* reason)
{
    if (size != sizeof(ServerEntry)) {
        *reason = "body is " + std::to_string(size) + " bytes, not " + std::to_string(sizeof(ServerEntry));
        return false;
    }
    ServerEntry sent = {};
    std::memcpy(&sent, body, sizeof sent);

    if (sent.nPort < MIN_HOST_PORT || sent.nPort > MAX_HOST_PORT) {
        *reason = "port " + std::to_string(sent.nPort) + " is outside 1 to 36000";
        return false;
    }
    // Players read the name from a fixed field: without a NUL in it, older wizards read on
    // into the next field.
    if (std::memchr(sent.szName, 0, sizeof sent.szName) == nullptr) {
        *reason = "name has no end within its 80 bytes";
        return false;
    }
    if (sent.szName[0] == '\0') {
        *reason = "name is empty";
        return false;
    }
    for (const char* p = sent.szName; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F) {
            *reason = "name holds a control character";
            return false;
        }
    }

    *entry = ServerEntry();
    SetEntryText(entry->szName, sent.szName);
    entry->nField160 = sent.nField160;
    entry->nField164 = sent.nField164;
    entry->nField252 = sent.nField252;
    entry->nMaxPlayers = sent.nMaxPlayers;
    entry->nPort = sent.nPort;
    return true;
}
