// A client's side of its connection to the host: every frame the host's bytes hold, read as
// the client's receive thread reads them, and what the client hands its lobby page.
#include "fuzz_check.h"
#include "lobby_stream.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LobbyStream stream = {data, size};
    NetMessage message = {};
    while (ReadNetMessage(ReadFromLobbyStream, &stream, &message)) {
        FUZZ_CHECK(message.nLength >= 0 && message.nLength <= LOBBY_MAX_PAYLOAD);
        FUZZ_CHECK((message.nLength == 0) == (message.pData == nullptr));
        if (KeepFromHost(message)) {
            switch (message.nType) {
            case MSG_PLAYER_ID:
            case MSG_PLAYER_JOINED:
            case MSG_PLAYER_LEFT:
                // The page and the receive thread read a player number from these.
                FUZZ_CHECK(message.nLength == 4);
                GetInt32(message.pData);
                break;
            default:
                if (IsChatType(message.nType)) {
                    // The page shows the payload as text: it must end within the payload.
                    FUZZ_CHECK(message.nLength > 0);
                    FUZZ_CHECK(std::strlen(message.pData) < static_cast<size_t>(message.nLength));
                }
            }
        } else {
            FUZZ_CHECK(message.nType == MSG_PLAYER_ID || message.nType == MSG_PLAYER_JOINED ||
                       message.nType == MSG_PLAYER_LEFT || IsChatType(message.nType));
        }
        std::free(message.pData);
        message = NetMessage();
    }
    return 0;
}
