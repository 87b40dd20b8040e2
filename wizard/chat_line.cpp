#include "chat_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "net.h"
#include "net_options.h"
#include "resource.h"
#include "transcript.h"

namespace {
const int CHAT_INPUT_SIZE = 4096;
}

int SendChatLine(HWND page, int bByButton)
{
    char input[CHAT_INPUT_SIZE] = {};
    GetDlgItemTextA(page, IDC_CHAT_INPUT, input, sizeof input);
    int inputLength = static_cast<int>(std::strlen(input));
    if (inputLength == 0)
        return 1;
    bool enterAtEnd = inputLength >= 2 && input[inputLength - 2] == '\r' && input[inputLength - 1] == '\n';
    if (!bByButton) {
        // Only Enter at the very end sends; a line break typed inside the text does not.
        if (!enterAtEnd)
            return 1;
        input[inputLength - 2] = '\0';
    }

    // The line as it appears everywhere: the sender's name, "->", the text, CR LF.
    char line[NET_TEXT_SIZE + 2 + CHAT_INPUT_SIZE + 2] = {};
    int lineLength = std::snprintf(line, sizeof line, "%s->%s\r\n", g_NetOptions.szPlayerName, input);
    AddTranscriptLines(GetDlgItem(page, IDC_TRANSCRIPT), line, TranscriptCapacityOf(page));
    SetDlgItemTextA(page, IDC_CHAT_INPUT, "");

    NetMessage message = {};
    message.nType = MSG_CHAT + g_NetOptions.nPlayerId;
    message.nLength = lineLength + 1;
    message.pData = static_cast<char*>(std::malloc(message.nLength));
    if (!message.pData)
        return 0;
    std::memcpy(message.pData, line, message.nLength);
    return PushMessage(LobbyOutbox, message) ? 1 : 0;
}

void OnChatCommand(HWND page, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_CHAT_INPUT:
        if (HIWORD(wParam) == EN_CHANGE)
            SendChatLine(page, 0);
        break;
    case IDC_SEND_MESSAGE:
        SendChatLine(page, 1);
        break;
    }
}
