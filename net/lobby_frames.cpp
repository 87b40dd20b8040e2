#include "lobby_frames.h"

#include <cstdlib>
#include <cstring>

static_assert(sizeof(int) == 4, "wire integers are held in int");

void PutInt32(char* p, int value)
{
    unsigned int u = static_cast<unsigned int>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

int GetInt32(const char* p)
{
    unsigned int u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<unsigned int>(static_cast<unsigned char>(p[i])) << (8 * i);
    return static_cast<int>(u);
}

bool ReadNetMessage(FrameSource source, void* pContext, NetMessage* message)
{
    char header[8];
    if (!source(pContext, header, sizeof header))
        return false;
    NetMessage received = {};
    received.nType = GetInt32(header);
    received.nLength = GetInt32(header + 4);
    // The length comes from the peer: never allocate more than the lobby can need.
    if (received.nLength < 0 || received.nLength > LOBBY_MAX_PAYLOAD)
        return false;
    if (received.nLength > 0) {
        received.pData = static_cast<char*>(std::malloc(received.nLength));
        if (!received.pData)
            return false;
        if (!source(pContext, received.pData, received.nLength)) {
            std::free(received.pData);
            return false;
        }
    }
    *message = received;
    return true;
}

bool IsChatType(int nType)
{
    return nType >= MSG_CHAT && nType <= MSG_CHAT_LAST;
}

static void TerminateChatText(NetMessage& message)
{
    message.pData[message.nLength - 1] = '\0';
}

bool KeepFromClient(int nPlayer, NetMessage& message)
{
    if (message.nType != MSG_CHAT + nPlayer || message.nLength <= 0)
        return false;
    TerminateChatText(message);
    return true;
}

bool KeepFromHost(NetMessage& message)
{
    switch (message.nType) {
    case MSG_PLAYER_ID:
    case MSG_PLAYER_JOINED:
    case MSG_PLAYER_LEFT:
        return message.nLength == 4;
    default:
        if (!IsChatType(message.nType))
            return true;
        if (message.nLength <= 0)
            return false;
        TerminateChatText(message);
        return true;
    }
}

bool AddFrame(FrameBatch& batch, const NetMessage& message)
{
    int length = message.nLength > 0 ? message.nLength : 0;
    if (length > FRAME_BATCH_SIZE - 8 - batch.nUsed)
        return false;
    char* frame = batch.pData + batch.nUsed;
    PutInt32(frame, message.nType);
    PutInt32(frame + 4, message.nLength);
    if (length > 0)
        std::memcpy(frame + 8, message.pData, length);
    batch.nUsed += 8 + length;
    return true;
}
