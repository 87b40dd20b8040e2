#include "net_internal.h"

#include <cstdlib>

bool IsChatType(int nType)
{
    return nType >= MSG_CHAT && nType <= MSG_CHAT_LAST;
}

void TerminateChatText(NetMessage& message)
{
    if (message.nLength > 0)
        message.pData[message.nLength - 1] = '\0';
}

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
