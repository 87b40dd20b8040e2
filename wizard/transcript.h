#pragma once
// The lobby transcript: the text of the pages' transcript control, kept within a fixed size
// by dropping its oldest lines, and the lines waiting to go into it.
#include <windows.h>

// Room for the transcript, its NUL included, on each lobby page.
const int CLIENT_TRANSCRIPT_SIZE = 4000;
const int SERVER_TRANSCRIPT_SIZE = 40000;

// Puts line (lineLength bytes) after the NUL-terminated text, dropping the text's oldest
// lines until the result fits in capacity bytes with its NUL. A line that cannot fit even
// alone is cut, keeping its closing CR LF. text must have room for capacity bytes and for
// its own length plus its NUL.
void AppendWithinCapacity(char* text, int capacity, const char* line, int lineLength);

// Lets the transcript control hold a whole transcript; once, when the page is made.
void PrepareTranscript(HWND transcript);

// Adds lines (text ending in CR LF) at the end of the transcript control in one update that
// also drops its oldest lines to keep it within capacity, then scrolls to the end. The lines
// are at most capacity - 1 bytes, or a single line, which is then cut as AppendWithinCapacity
// cuts it. False, with the transcript unchanged, when there is no memory for it.
bool AddTranscriptLines(HWND transcript, const char* lines, int capacity);

void ScrollTranscriptToEnd(HWND transcript);

// The capacity of the transcript on this lobby page.
int TranscriptCapacityOf(HWND page);

// Lines on their way into a transcript, in order. Only the newest that the transcript can
// keep are kept: the transcript ends up as if each line had gone in on its own.
struct PendingLines {
    char* pText;  // 2 * nCapacity bytes, NUL-terminated
    int nLength;
    int nCapacity;  // the transcript's
    // Lines were dropped, or a line was cut: nothing of what the transcript shows now stays.
    bool bReplacesTranscript;
};
// Forgets every pending line: a new page starts with none.
void ClearPendingLines(PendingLines& pending);
// The line is prefix, then textLength bytes of text.
void AddPendingLine(PendingLines& pending, const char* prefix, const char* text, int textLength);
// Moves the oldest pending lines, up to maxBytes of them (at least one line), into the
// transcript with one update.
void ShowPendingLines(HWND transcript, PendingLines& pending, int maxBytes);
