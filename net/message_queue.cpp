#include "net_internal.h"

#include <cstdlib>

struct QueueNode {
    NetMessage message;
    QueueNode* pNext;
};

// Constructed during program start-up, so the locks exist before any thread or page can
// touch a queue. There is deliberately no destructor: network threads may still be using a
// queue while the process ends.
MessageQueue::MessageQueue() : pHead(nullptr), pTail(nullptr), nCount(0), nWakePending(0)
{
    InitializeCriticalSection(&lock);
}

MessageQueue LobbyInbox;
MessageQueue LobbyOutbox;
MessageQueue HostIncoming;
MessageQueue HostBroadcast;

bool PushMessage(MessageQueue& queue, const NetMessage& message)
{
    QueueNode* node = static_cast<QueueNode*>(std::malloc(sizeof(QueueNode)));
    if (!node) {
        std::free(message.pData);
        return false;
    }
    node->message = message;
    node->pNext = nullptr;
    EnterCriticalSection(&queue.lock);
    if (queue.pTail)
        queue.pTail->pNext = node;
    else
        queue.pHead = node;
    queue.pTail = node;
    ++queue.nCount;
    LeaveCriticalSection(&queue.lock);
    return true;
}

NetMessage PopMessage(MessageQueue& queue)
{
    NetMessage message = {};
    EnterCriticalSection(&queue.lock);
    QueueNode* node = queue.pHead;
    if (node) {
        queue.pHead = node->pNext;
        if (!queue.pHead)
            queue.pTail = nullptr;
        --queue.nCount;
    }
    LeaveCriticalSection(&queue.lock);
    if (node) {
        message = node->message;
        std::free(node);
    }
    return message;
}

bool IsQueueEmpty(MessageQueue& queue)
{
    // A page that finds its inbox empty has taken everything a wake-up was posted for, so
    // the next message needs a wake-up of its own. Decided under the lock: a message pushed
    // after this look is pushed before its sender asks for a wake-up, and so gets one. While
    // messages remain, the page is still working through them and nothing needs posting.
    EnterCriticalSection(&queue.lock);
    bool empty = queue.nCount == 0;
    if (empty)
        InterlockedExchange(&queue.nWakePending, 0);
    LeaveCriticalSection(&queue.lock);
    return empty;
}

int CountMessages(MessageQueue& queue)
{
    EnterCriticalSection(&queue.lock);
    int count = queue.nCount;
    LeaveCriticalSection(&queue.lock);
    return count;
}

void MoveMessages(MessageQueue& from, MessageQueue& to)
{
    // Only what is there now: a client that keeps sending cannot hold up the relay pass.
    for (int n = CountMessages(from); n > 0; --n)
        PushMessage(to, PopMessage(from));
}

namespace {

void DiscardMessages(MessageQueue& queue)
{
    while (!IsQueueEmpty(queue))
        std::free(PopMessage(queue).pData);
}

}  // namespace

void DiscardAllMessages()
{
    DiscardMessages(LobbyInbox);
    DiscardMessages(LobbyOutbox);
    DiscardMessages(HostIncoming);
    DiscardMessages(HostBroadcast);
}
