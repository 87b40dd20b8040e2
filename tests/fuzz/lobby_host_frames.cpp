// The host's side of one client's connection: every frame the client's bytes hold, read as
// the host's receive thread reads them, and what the host keeps and relays of each.
#include "fuzz_check.h"
#include "lobby_stream.h"

#include <cstdlib>

namespace {

char g_relayBatch[FRAME_BATCH_SIZE];

// A kept line goes out again as one frame that reads back as the same message.
void CheckRelayed(const NetMessage& message)
{
    FrameBatch batch = {g_relayBatch, 0};
    FUZZ_CHECK(AddFrame(batch, message));
    FUZZ_CHECK(batch.nUsed == 8 + message.nLength);
    LobbyStream relayed = {reinterpret_cast<const uint8_t*>(g_relayBatch), static_cast<size_t>(batch.nUsed)};
    NetMessage copy = {};
    FUZZ_CHECK(ReadNetMessage(ReadFromLobbyStream, &relayed, &copy));
    FUZZ_CHECK(copy.nType == message.nType && copy.nLength == message.nLength);
    FUZZ_CHECK(std::memcmp(copy.pData, message.pData, static_cast<size_t>(message.nLength)) == 0);
    FUZZ_CHECK(relayed.nLeft == 0);
    std::free(copy.pData);
}

}  // namespace

// The first byte picks the client's player number (1 to 3); the rest is what it sends.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int player = 1 + data[0] % 3;
    LobbyStream stream = {data + 1, size - 1};
    NetMessage message = {};
    while (ReadNetMessage(ReadFromLobbyStream, &stream, &message)) {
        FUZZ_CHECK(message.nLength >= 0 && message.nLength <= LOBBY_MAX_PAYLOAD);
        FUZZ_CHECK((message.nLength == 0) == (message.pData == nullptr));
        if (KeepFromClient(player, message)) {
            FUZZ_CHECK(message.nType == MSG_CHAT + player);
            FUZZ_CHECK(message.nLength > 0 && message.pData[message.nLength - 1] == '\0');
            CheckRelayed(message);
        }
        std::free(message.pData);
        message = NetMessage();
    }
    return 0;
}
