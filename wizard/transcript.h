#pragma once
// The lobby transcript: the text of the pages' transcript control, kept within a fixed size
// by dropping its oldest lines.
#include <windows.h>

// Room for the transcript, its NUL included, on each lobby page.
const int CLIENT_TRANSCRIPT_SIZE = 4000;
const int SERVER_TRANSCRIPT_SIZE = 40000;

// Puts line (lineLength bytes) after the NUL-terminated text, dropping the text's oldest
// lines until the result fits in capacity bytes with its NUL. A line that cannot fit even
// alone is cut, keeping its closing CR LF. text must have room for capacity bytes and for
// its own length plus its NUL.
void AppendWithinCapacity(char* text, int capacity, const char* line, int lineLength);

// Adds line at the end of the transcript control within capacity and scrolls to the end.
// False, with the transcript unchanged, when there is no memory for it.
bool AddTranscriptLine(HWND transcript, const char* line, int lineLength, int capacity);

void ScrollTranscriptToEnd(HWND transcript);

// The capacity of the transcript on this lobby page.
int TranscriptCapacityOf(HWND page);
