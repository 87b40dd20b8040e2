#include "net_internal.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The bytes the relay has queued for one client and its sender has not taken yet.
struct SlotQueue {
    CRITICAL_SECTION lock;
    HANDLE hQueued;    // auto-reset: bytes were added, or the senders are to finish
    HANDLE hFinished;  // manual-reset: no sender runs for this slot
    char* pData;
    int nUsed;
    int nCapacity;
    bool bOpen;
};

SlotQueue g_SlotQueues[LOBBY_MAX_PLAYERS];
volatile LONG g_bFinishSending;

// One send waits at most this long for the client to take a piece; a piece is small enough
// that a client that reads at all takes it well within the time.
const int SEND_PIECE_SIZE = 16384;

// Created once, during program start-up, like the slots' other objects.
struct SlotQueueObjects {
    SlotQueueObjects()
    {
        for (SlotQueue& queue : g_SlotQueues) {
            InitializeCriticalSection(&queue.lock);
            queue.hQueued = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            queue.hFinished = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        }
    }
};
SlotQueueObjects g_SlotQueueObjects;

// Everything queued so far, handed over to the caller, who frees it.
char* TakeQueued(SlotQueue& queue, int* length)
{
    EnterCriticalSection(&queue.lock);
    char* data = queue.pData;
    *length = queue.nUsed;
    queue.pData = nullptr;
    queue.nUsed = 0;
    queue.nCapacity = 0;
    LeaveCriticalSection(&queue.lock);
    return data;
}

// An overlapped send, so that the cancel event ends the wait at once. False when the
// client took nothing of a piece within LOBBY_SEND_TIMEOUT_MS, the connection failed or
// it was cancelled.
bool SendWithin(SOCKET s, HANDLE hDone, HANDLE hCancel, const char* data, int length)
{
    int done = 0;
    while (done < length) {
        WSABUF piece = {};
        piece.len = static_cast<ULONG>(length - done < SEND_PIECE_SIZE ? length - done : SEND_PIECE_SIZE);
        piece.buf = const_cast<char*>(data + done);
        WSAOVERLAPPED overlapped = {};
        overlapped.hEvent = hDone;
        DWORD sent = 0;
        DWORD flags = 0;
        ResetEvent(hDone);
        if (WSASend(s, &piece, 1, &sent, 0, &overlapped, nullptr) != 0) {
            if (WSAGetLastError() != WSA_IO_PENDING)
                return false;
            HANDLE events[2] = {hDone, hCancel};
            if (WaitForMultipleObjects(2, events, FALSE, LOBBY_SEND_TIMEOUT_MS) != WAIT_OBJECT_0) {
                // The send still refers to this stack frame: it must be over before we return.
                CancelIo(reinterpret_cast<HANDLE>(s));
                WSAGetOverlappedResult(s, &overlapped, &sent, TRUE, &flags);
                return false;
            }
            if (!WSAGetOverlappedResult(s, &overlapped, &sent, FALSE, &flags))
                return false;
        }
        if (sent == 0)
            return false;
        done += static_cast<int>(sent);
    }
    return true;
}

unsigned __stdcall SlotSenderThread(void* argument)
{
    int n = static_cast<int>(reinterpret_cast<intptr_t>(argument));
    SlotQueue& queue = g_SlotQueues[n];
    SOCKET s = g_PlayerSockets[n];
    HANDLE hDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool connected = hDone != nullptr;
    while (connected) {
        int length = 0;
        char* data = TakeQueued(queue, &length);
        if (length > 0) {
            connected = SendWithin(s, hDone, g_hSlotCancel[n], data, length);
            std::free(data);
            continue;
        }
        std::free(data);
        if (g_bFinishSending) {
            // A clean end of stream after the last message.
            shutdown(s, SD_SEND);
            break;
        }
        HANDLE events[2] = {queue.hQueued, g_hSlotCancel[n]};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0)
            break;
    }
    if (!connected)
        SetEvent(g_hSlotCancel[n]);  // its owner closes the connection and reports the leave
    if (hDone)
        CloseHandle(hDone);
    SetEvent(queue.hFinished);
    return 0;
}

}  // namespace

void StartSlotSending()
{
    g_bFinishSending = 0;
}

void OpenSlotQueue(int n)
{
    SlotQueue& queue = g_SlotQueues[n];
    EnterCriticalSection(&queue.lock);
    queue.bOpen = true;
    LeaveCriticalSection(&queue.lock);
    ResetEvent(queue.hFinished);
}

void QueueForSlot(int n, const char* data, int length)
{
    SlotQueue& queue = g_SlotQueues[n];
    bool queued = false;
    bool overflow = false;
    EnterCriticalSection(&queue.lock);
    if (queue.bOpen) {
        int needed = queue.nUsed + length;
        if (needed > queue.nCapacity && needed <= SLOT_QUEUE_LIMIT) {
            int capacity = queue.nCapacity ? queue.nCapacity : SEND_PIECE_SIZE;
            while (capacity < needed)
                capacity *= 2;
            char* grown = static_cast<char*>(std::realloc(queue.pData, capacity));
            if (grown) {
                queue.pData = grown;
                queue.nCapacity = capacity;
            }
        }
        queued = needed <= SLOT_QUEUE_LIMIT && needed <= queue.nCapacity;
        overflow = !queued;
        if (queued) {
            std::memcpy(queue.pData + queue.nUsed, data, length);
            queue.nUsed = needed;
        }
    }
    LeaveCriticalSection(&queue.lock);
    if (queued)
        SetEvent(queue.hQueued);
    // A client that falls this far behind (or that there is no memory for) is dropped:
    // leaving out part of what it is sent would garble its stream.
    if (overflow)
        SetEvent(g_hSlotCancel[n]);
}

HANDLE StartSlotSender(int n)
{
    return StartNetworkThread(SlotSenderThread, reinterpret_cast<void*>(static_cast<intptr_t>(n)));
}

void CloseSlotQueue(int n)
{
    SlotQueue& queue = g_SlotQueues[n];
    EnterCriticalSection(&queue.lock);
    queue.bOpen = false;
    std::free(queue.pData);
    queue.pData = nullptr;
    queue.nUsed = 0;
    queue.nCapacity = 0;
    LeaveCriticalSection(&queue.lock);
    SetEvent(queue.hFinished);
}

void FinishSlotSending(DWORD timeoutMs)
{
    g_bFinishSending = 1;
    HANDLE finished[LOBBY_MAX_PLAYERS - 1] = {};
    for (int n = 1; n < LOBBY_MAX_PLAYERS; ++n) {
        SetEvent(g_SlotQueues[n].hQueued);
        finished[n - 1] = g_SlotQueues[n].hFinished;
    }
    WaitForMultipleObjects(LOBBY_MAX_PLAYERS - 1, finished, TRUE, timeoutMs);
}
