#include "transcript.h"

#include <cstdlib>
#include <cstring>

#include "net_options.h"

namespace {

bool EndsWithLineBreak(const char* line, int lineLength)
{
    return lineLength >= 2 && line[lineLength - 2] == '\r' && line[lineLength - 1] == '\n';
}

// How much of the start of the text goes so that `excess` bytes are gone, whole lines only:
// up to just after the first line break that ends at or beyond it, or all of the text when
// there is none.
int DropLength(const char* text, int textLength, int excess)
{
    if (excess <= 0)
        return 0;
    const char* lineBreak = std::strstr(text + (excess > 2 ? excess - 2 : 0), "\r\n");
    return lineBreak ? static_cast<int>(lineBreak - text) + 2 : textLength;
}

void DropStart(char* text, int* textLength, int dropped)
{
    std::memmove(text, text + dropped, *textLength - dropped + 1);
    *textLength -= dropped;
}

// Drops the oldest pending lines for `excess` bytes. Whatever the transcript shows now came
// before them, so it goes as well.
void DropPendingStart(PendingLines& pending, int excess)
{
    int dropped = DropLength(pending.pText, pending.nLength, excess);
    if (dropped == 0)
        return;
    DropStart(pending.pText, &pending.nLength, dropped);
    pending.bReplacesTranscript = true;
}

// A line too long for the whole transcript takes its place, cut.
bool SetCutLine(HWND transcript, const char* line, int lineLength, int capacity)
{
    char* text = static_cast<char*>(std::calloc(capacity, 1));
    if (!text)
        return false;
    AppendWithinCapacity(text, capacity, line, lineLength);
    SetWindowTextA(transcript, text);
    std::free(text);
    return true;
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
    DropStart(text, &textLength, DropLength(text, textLength, textLength + lineLength - room));
    std::memcpy(text + textLength, line, lineLength);
    text[textLength + lineLength] = '\0';
}

void PrepareTranscript(HWND transcript)
{
    // The edit's own limit (about 30000 characters) would cut the host's transcript short;
    // the pages keep it within its capacity themselves.
    SendMessageA(transcript, EM_SETLIMITTEXT, 0, 0);
}

bool AddTranscriptLines(HWND transcript, const char* lines, int capacity)
{
    int linesLength = static_cast<int>(std::strlen(lines));
    if (linesLength > capacity - 1) {
        if (!SetCutLine(transcript, lines, linesLength, capacity))
            return false;
        ScrollTranscriptToEnd(transcript);
        return true;
    }
    // The player may have typed into the transcript, so it can be longer than the page keeps
    // it: read all of it.
    int textLength = GetWindowTextLengthA(transcript);
    char* text = static_cast<char*>(std::calloc(textLength + linesLength + 1, 1));
    if (!text)
        return false;
    GetWindowTextA(transcript, text, textLength + 1);
    textLength = static_cast<int>(std::strlen(text));
    int dropped = DropLength(text, textLength, textLength + linesLength - (capacity - 1));
    // Under Wine, replacing the oldest lines and adding the new ones costs 10-25 ms at any
    // transcript size, while setting the whole text costs as much at 4 KB and 50-90 ms at
    // 40 KB. An edit without ES_AUTOVSCROLL (the client's, of 4 KB) refuses insertions
    // beyond its height, so its whole text is set.
    bool insert = (GetWindowLongA(transcript, GWL_STYLE) & ES_AUTOVSCROLL) != 0;
    if (insert && dropped < textLength) {
        if (dropped > 0) {
            SendMessageA(transcript, EM_SETSEL, 0, dropped);
            SendMessageA(transcript, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
        }
        int end = GetWindowTextLengthA(transcript);
        SendMessageA(transcript, EM_SETSEL, end, end);
        SendMessageA(transcript, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(lines));
    } else {
        DropStart(text, &textLength, dropped);
        std::memcpy(text + textLength, lines, linesLength + 1);
        SetWindowTextA(transcript, text);
    }
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

void ClearPendingLines(PendingLines& pending)
{
    pending.nLength = 0;
    pending.pText[0] = '\0';
    pending.bReplacesTranscript = false;
}

void AddPendingLine(PendingLines& pending, const char* prefix, const char* text, int textLength)
{
    int room = pending.nCapacity - 1;
    int prefixLength = static_cast<int>(std::strlen(prefix));
    int lineLength = prefixLength + textLength;
    if (lineLength > room) {
        char* line = static_cast<char*>(std::malloc(lineLength));
        if (!line)
            return;
        std::memcpy(line, prefix, prefixLength);
        std::memcpy(line + prefixLength, text, textLength);
        pending.pText[0] = '\0';
        AppendWithinCapacity(pending.pText, pending.nCapacity, line, lineLength);
        pending.nLength = static_cast<int>(std::strlen(pending.pText));
        pending.bReplacesTranscript = true;
        std::free(line);
        return;
    }
    // The buffer holds twice what the transcript keeps, so that the lines a backlog pushes
    // out go a buffer at a time rather than one by one.
    if (pending.nLength + lineLength > 2 * pending.nCapacity - 1)
        DropPendingStart(pending, pending.nLength + lineLength - room);
    std::memcpy(pending.pText + pending.nLength, prefix, prefixLength);
    std::memcpy(pending.pText + pending.nLength + prefixLength, text, textLength);
    pending.nLength += lineLength;
    pending.pText[pending.nLength] = '\0';
}

void ShowPendingLines(HWND transcript, PendingLines& pending, int maxBytes)
{
    DropPendingStart(pending, pending.nLength - (pending.nCapacity - 1));
    if (pending.nLength == 0)
        return;
    int shown = pending.nLength;
    if (shown > maxBytes) {
        // Whole lines, and at least the first.
        const char* lineBreak = std::strstr(pending.pText, "\r\n");
        shown = lineBreak ? static_cast<int>(lineBreak - pending.pText) + 2 : pending.nLength;
        for (;;) {
            lineBreak = std::strstr(pending.pText + shown, "\r\n");
            int next = lineBreak ? static_cast<int>(lineBreak - pending.pText) + 2 : pending.nLength;
            if (next > maxBytes)
                break;
            shown = next;
        }
    }
    char kept = pending.pText[shown];
    pending.pText[shown] = '\0';
    if (pending.bReplacesTranscript) {
        SetWindowTextA(transcript, pending.pText);
        ScrollTranscriptToEnd(transcript);
        pending.bReplacesTranscript = false;
    } else {
        AddTranscriptLines(transcript, pending.pText, pending.nCapacity);
    }
    pending.pText[shown] = kept;
    DropStart(pending.pText, &pending.nLength, shown);
}
