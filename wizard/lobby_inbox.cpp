#include "lobby_inbox.h"

#include <cstdlib>
#include <cstring>

#include "transcript.h"

namespace {
const char OTHERS_INDENT[] = "   ";
const int OTHERS_INDENT_LENGTH = sizeof OTHERS_INDENT - 1;
}

void ShowOthersChatLine(HWND transcript, const NetMessage& message, int capacity)
{
    const void* nul = std::memchr(message.pData, '\0', message.nLength);
    int textLength = nul ? static_cast<int>(static_cast<const char*>(nul) - message.pData) : message.nLength;
    char* line = static_cast<char*>(std::malloc(OTHERS_INDENT_LENGTH + textLength));
    if (!line)
        return;
    std::memcpy(line, OTHERS_INDENT, OTHERS_INDENT_LENGTH);
    std::memcpy(line + OTHERS_INDENT_LENGTH, message.pData, textLength);
    AddTranscriptLine(transcript, line, OTHERS_INDENT_LENGTH + textLength, capacity);
    std::free(line);
}

bool IsOthersChatLine(const NetMessage& message, int nOwnPlayerId)
{
    return message.nType >= MSG_CHAT && message.nType <= MSG_CHAT_LAST && message.nType != MSG_CHAT + nOwnPlayerId &&
           message.nLength > 0 && message.pData;
}

int PayloadPlayerNumber(const NetMessage& message, int fallback)
{
    if (message.nLength != 4 || !message.pData)
        return fallback;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(message.pData);
    return static_cast<int>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned>(p[3]) << 24);
}
