#include "lobby_bytes.h"

#include <cstdlib>
#include <cstring>

static Bytes Int32Bytes(int value)
{
    unsigned int u = static_cast<unsigned int>(value);
    return Bytes{static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                 static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
}

Bytes Opening(int player)
{
    return Bytes{0x39, 0x30, 0x00, 0x00, 0xEC, 0x03, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00} +
           Int32Bytes(player);
}

Bytes Joined(int player)
{
    return Bytes{0xB8, 0x0B, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00} + Int32Bytes(player);
}

Bytes Left(int player)
{
    return Bytes{0xB9, 0x0B, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00} + Int32Bytes(player);
}

const Bytes START_SIGNAL = {0x9F, 0x86, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes SERVER_FULL = {0xE9, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

Bytes ChatFrame(int player, const std::string& line)
{
    Bytes text = Text(line) + Bytes{0x0D, 0x0A, 0x00};
    return Int32Bytes(2000 + player) + Int32Bytes(static_cast<int>(text.size())) + text;
}

NetMessage ChatMessage(int type, const std::string& line)
{
    std::string text = line + "\r\n";
    NetMessage message = {};
    message.nType = type;
    message.nLength = static_cast<int>(text.size()) + 1;
    message.pData = static_cast<char*>(std::malloc(message.nLength));
    std::memcpy(message.pData, text.c_str(), message.nLength);
    return message;
}

NetMessage StartMessage()
{
    NetMessage message = {};
    message.nType = MSG_START_GAME;
    return message;
}

::testing::AssertionResult NextFrameIs(SOCKET s, const Bytes& expected, DWORD timeoutMs)
{
    Frame frame = {};
    if (!ReadFrame(s, &frame, timeoutMs))
        return ::testing::AssertionFailure() << "no frame arrived; expected " << Hex(expected);
    if (frame.raw != expected)
        return ::testing::AssertionFailure()
               << "got " << Hex(frame.raw) << "\n   expected " << Hex(expected);
    return ::testing::AssertionSuccess();
}

std::vector<PageMessage> TakeInbox()
{
    std::vector<PageMessage> messages;
    while (!IsQueueEmpty(LobbyInbox)) {
        NetMessage message = PopMessage(LobbyInbox);
        PageMessage copy = {message.nType, Bytes()};
        if (message.nLength > 0)
            copy.payload.assign(message.pData, message.pData + message.nLength);
        std::free(message.pData);
        messages.push_back(copy);
    }
    return messages;
}

bool WaitForCount(MessageQueue& queue, int count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (CountMessages(queue) < count) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(5);
    }
    return true;
}

bool WaitFor(bool (*condition)(), DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(5);
    }
    return true;
}
