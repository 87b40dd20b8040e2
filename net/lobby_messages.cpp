#include "net_internal.h"

#include <cstdlib>
#include <cstring>

void PushPlayerNotice(MessageQueue& queue, int nType, int nPlayer)
{
    NetMessage notice = {};
    notice.nType = nType;
    notice.pData = static_cast<char*>(std::malloc(4));
    if (!notice.pData)
        return;
    notice.nLength = 4;
    PutInt32(notice.pData, nPlayer);
    PushMessage(queue, notice);
}

namespace {

// Player names have at most this many characters.
const int NAME_LIMIT = 16;

// The name at the start of a chat line ("name->text"), or an empty one when the line does
// not start with a name.
int NameLength(const NetMessage& line)
{
    for (int i = 0; i < line.nLength - 1 && i <= NAME_LIMIT; ++i) {
        if (line.pData[i] == '-' && line.pData[i + 1] == '>')
            return i;
        if (static_cast<unsigned char>(line.pData[i]) < ' ')
            return 0;
    }
    return 0;
}

}  // namespace

void PushFloodNotice(int nPlayer, const NetMessage& droppedLine)
{
    int nameLength = NameLength(droppedLine);
    NetMessage notice = {};
    notice.nType = MSG_FLOOD_DROPPED;
    notice.pData = static_cast<char*>(std::malloc(4 + nameLength + 1));
    if (!notice.pData)
        return;
    notice.nLength = 4 + nameLength + 1;
    PutInt32(notice.pData, nPlayer);
    std::memcpy(notice.pData + 4, droppedLine.pData, nameLength);
    notice.pData[4 + nameLength] = '\0';
    PushMessage(LobbyInbox, notice);
}
