// The message queues: first in, first out, under concurrent pushers.
#include "lobby_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

NetMessage Numbered(int producer, int sequence)
{
    NetMessage message = {};
    message.nType = producer;
    message.nLength = sizeof sequence;
    message.pData = static_cast<char*>(std::malloc(sizeof sequence));
    std::memcpy(message.pData, &sequence, sizeof sequence);
    return message;
}

TEST(MessageQueue, KeepsOrderCountsAndYieldsAZeroRecordWhenEmpty)
{
    EXPECT_TRUE(IsQueueEmpty(HostIncoming));
    for (int i = 0; i < 3; ++i)
        PushMessage(HostIncoming, Numbered(7, i));
    EXPECT_FALSE(IsQueueEmpty(HostIncoming));
    EXPECT_EQ(CountMessages(HostIncoming), 3);
    for (int i = 0; i < 3; ++i) {
        NetMessage message = PopMessage(HostIncoming);
        ASSERT_EQ(message.nLength, 4);
        int sequence = 0;
        std::memcpy(&sequence, message.pData, 4);
        EXPECT_EQ(sequence, i);
        std::free(message.pData);
    }
    NetMessage none = PopMessage(HostIncoming);
    EXPECT_EQ(none.nType, 0);
    EXPECT_EQ(none.nLength, 0);
    EXPECT_EQ(none.pData, nullptr);
    EXPECT_EQ(CountMessages(HostIncoming), 0);
}

TEST(MessageQueue, ConcurrentPushersLoseNothingAndKeepTheirOwnOrder)
{
    const int producers = 4;
    const int perProducer = 20000;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([p] {
            for (int i = 0; i < perProducer; ++i)
                PushMessage(LobbyOutbox, Numbered(p, i));
        });
    std::vector<int> next(producers, 0);
    int popped = 0;
    bool ordered = true;
    DWORD start = GetTickCount();
    while (popped < producers * perProducer && GetTickCount() - start < 60000) {
        if (IsQueueEmpty(LobbyOutbox))
            continue;
        NetMessage message = PopMessage(LobbyOutbox);
        int sequence = 0;
        std::memcpy(&sequence, message.pData, 4);
        ordered = ordered && sequence == next[message.nType];
        next[message.nType] = sequence + 1;
        std::free(message.pData);
        ++popped;
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(popped, producers * perProducer);
    EXPECT_TRUE(ordered);
    EXPECT_TRUE(IsQueueEmpty(LobbyOutbox));
}

}  // namespace
