#pragma once
// Reads what Wine played into the capture device of the test set-up: 48000 Hz, two
// channels, 32-bit float, one file per stream Wine opened (capture.raw, capture.raw.0001...),
// written in real time by paced_capture.py.
//
// Wine writes silence whenever nothing plays, so the helpers look at the pieces of
// sound in the recording and, for music, at which notes of test.mp3 they hold and how
// loud those are, rather than at exact times.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

const int kCaptureRate = 48000;

// Removes every capture file, so that a test starts from an empty recording.
void ClearCapture();
// The left channel of every capture file, one after the other; empty when nothing was
// opened. Fails the current test when the files do not hold float samples.
std::vector<float> ReadCapture();
// The pieces of sound in the recording from 'begin' on, split where there is a
// millisecond or more of silence.
struct SoundRun {
    size_t begin;
    size_t end;
};
std::vector<SoundRun> SoundRuns(const std::vector<float>& samples, size_t begin = 0);
// Every sample of those pieces, one after the other.
std::vector<float> SoundContent(const std::vector<float>& samples, size_t begin = 0);
float Peak(const std::vector<float>& samples, size_t begin = 0, size_t end = SIZE_MAX);
float Rms(const std::vector<float>& samples, size_t begin, size_t end);
double Decibels(float ratio);

// The notes of test.mp3: 440, 554.37, 659.26 and 880 Hz, 0.4 s each.
const int kMusicNotes = 4;
const double kMusicNoteSeconds = 0.4;
// 20 ms windows of the recording from 'begin' on, each with the note of test.mp3 that
// clearly dominates it, or -1.
struct NoteWindow {
    size_t begin;
    size_t end;
    int note;
};
std::vector<NoteWindow> NoteWindows(const std::vector<float>& samples, size_t begin = 0);
// The notes heard in order, a note counted once two windows show it.
std::vector<int> NoteSequence(const std::vector<float>& samples, size_t begin = 0);
std::string Describe(const std::vector<int>& notes);

// What was recorded, for failure messages: each file's length, then each piece of
// sound with the notes its windows show ('.' for none).
std::string CaptureSummary();

// Polls every 20 ms until the condition holds or the time runs out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);
// Waits until the recording from 'begin' on holds at least 'seconds' of sound content.
bool WaitForContent(size_t begin, double seconds, DWORD timeoutMs);
// The notes of test.mp3 heard from 'begin' on.
std::vector<int> CapturedNotes(size_t begin = 0);
// Waits until the notes from 'begin' on include 'note'.
bool WaitForNote(size_t begin, int note, DWORD timeoutMs);
// Waits until the sound content stops growing for 'quietMs'; returns its length in seconds.
double WaitForQuiet(size_t begin, DWORD quietMs, DWORD timeoutMs);
