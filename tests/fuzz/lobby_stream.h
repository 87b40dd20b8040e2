#pragma once
// A peer's byte stream for the lobby's frame reader: what a connection delivers before it
// closes.
#include "lobby_frames.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

struct LobbyStream {
    const uint8_t* pNext;
    size_t nLeft;
};

// As a receive on a connection that closed: the whole buffer, or nothing when the bytes
// run out first.
inline bool ReadFromLobbyStream(void* pStream, char* pBuffer, int nLength)
{
    LobbyStream* stream = static_cast<LobbyStream*>(pStream);
    if (nLength < 0 || static_cast<size_t>(nLength) > stream->nLeft)
        return false;
    std::memcpy(pBuffer, stream->pNext, static_cast<size_t>(nLength));
    stream->pNext += nLength;
    stream->nLeft -= static_cast<size_t>(nLength);
    return true;
}
