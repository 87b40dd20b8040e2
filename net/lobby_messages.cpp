#include "net_internal.h"

#include <cstdlib>

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
