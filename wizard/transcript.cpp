#include "transcript.h"

#include <cstdlib>
#include <cstring>

#include "net_options.h"

namespace {

void DropOldestLine(char* text, int* textLength)
{
    const char* lineBreak = std::strstr(text, "\r\n");
    int dropped = lineBreak ? static_cast<int>(lineBreak - text) + 2 : *textLength;
    std::memmove(text, text + dropped, *textLength - dropped + 1);
    *textLength -= dropped;
}

bool EndsWithLineBreak(const char* line, int lineLength)
{
    return lineLength >= 2 && line[lineLength - 2] == '\r' && line[lineLength - 1] == '\n';
}

} // namespace

void AppendWithinCapacity(char* text, int capacity, const char* line, int lineLength)
{
    int room = capacity - 1;
    int textLength = static_cast<int>(std::strlen(text));
    if (lineLength > room) {
        // Nothing else fits beside it: the line's beginning says who wrote it, so keep that.
        bool keepBreak = EndsWithLineBreak(line, lineLength) && room >= 2;
        int kept = keepBreak ? room - 2 : room;
        std::memcpy(text, line, kept);
        if (keepBreak)
            std::memcpy(text + kept, "\r\n", 2);
        text[room] = '\0';
        return;
    }
    while (textLength + lineLength > room)
        DropOldestLine(text, &textLength);
    std::memcpy(text + textLength, line, lineLength);
    text[textLength + lineLength] = '\0';
}

bool AddTranscriptLine(HWND transcript, const char* line, int lineLength, int capacity)
{
    // The player may have typed into the transcript, so it can be longer than the page
    // keeps it: read all of it, then trim.
    int size = GetWindowTextLengthA(transcript) + 1;
    if (size < capacity)
        size = capacity;
    char* text = static_cast<char*>(std::calloc(size, 1));
    if (!text)
        return false;
    GetWindowTextA(transcript, text, size);
    AppendWithinCapacity(text, capacity, line, lineLength);
    SetWindowTextA(transcript, text);
    std::free(text);
    ScrollTranscriptToEnd(transcript);
    return true;
}

void ScrollTranscriptToEnd(HWND transcript)
{
    SendMessageA(transcript, WM_VSCROLL, SB_BOTTOM, 0);
}

int TranscriptCapacityOf(HWND page)
{
    return HandleField(page) == g_NetOptions.hServerLobbyPage ? SERVER_TRANSCRIPT_SIZE : CLIENT_TRANSCRIPT_SIZE;
}
