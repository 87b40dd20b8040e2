#include "sound_capture.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const float kSilence = 1e-6f;
const size_t kGapFrames = kCaptureRate / 1000;
const size_t kNoteWindow = kCaptureRate / 50;
const size_t kMinNoteWindows = 2;
const double kNoteFrequencies[kMusicNotes] = {440.0, 554.37, 659.26, 880.0};
const double kPi = 3.14159265358979323846;

std::string CaptureFolder()
{
    return HostPath(AUDIO_CAPTURE_DIR);
}

std::vector<std::string> CaptureFiles()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((CaptureFolder() + "\\capture.raw*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    // capture.raw comes first, then capture.raw.0001 and so on: the order they were opened.
    std::sort(names.begin(), names.end());
    return names;
}

double GoertzelPower(const float* samples, size_t count, double frequency)
{
    double coefficient = 2.0 * std::cos(2.0 * kPi * frequency / kCaptureRate);
    double previous = 0.0;
    double beforePrevious = 0.0;
    for (size_t i = 0; i < count; ++i) {
        double current = samples[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

int DominantNote(const float* samples, size_t count)
{
    double power[kMusicNotes] = {};
    for (int note = 0; note < kMusicNotes; ++note)
        power[note] = GoertzelPower(samples, count, kNoteFrequencies[note]);
    int best = static_cast<int>(std::max_element(power, power + kMusicNotes) - power);
    for (int note = 0; note < kMusicNotes; ++note)
        if (note != best && power[note] * 10.0 > power[best])
            return -1;
    return power[best] > 1e-6 ? best : -1;
}

}

void ClearCapture()
{
    for (const std::string& name : CaptureFiles())
        DeleteFileA((CaptureFolder() + "\\" + name).c_str());
}

std::vector<float> ReadCapture()
{
    std::vector<float> left;
    for (const std::string& name : CaptureFiles()) {
        std::vector<unsigned char> bytes = ReadFileBytes(CaptureFolder() + "\\" + name);
        size_t frames = bytes.size() / (2 * sizeof(float));
        for (size_t i = 0; i < frames; ++i) {
            float sample = 0.0f;
            std::memcpy(&sample, &bytes[i * 2 * sizeof(float)], sizeof sample);
            if (!std::isfinite(sample) || std::fabs(sample) > 4.0f) {
                ADD_FAILURE() << name << " does not hold 32-bit float samples (frame " << i << ")";
                return {};
            }
            left.push_back(sample);
        }
    }
    return left;
}

std::vector<SoundRun> SoundRuns(const std::vector<float>& samples, size_t begin)
{
    std::vector<SoundRun> runs;
    size_t i = begin;
    while (i < samples.size()) {
        while (i < samples.size() && std::fabs(samples[i]) < kSilence)
            ++i;
        if (i == samples.size())
            break;
        SoundRun run = {i, i};
        size_t quiet = 0;
        while (i < samples.size() && quiet < kGapFrames) {
            quiet = std::fabs(samples[i]) < kSilence ? quiet + 1 : 0;
            ++i;
        }
        run.end = i - quiet;
        runs.push_back(run);
    }
    return runs;
}

std::vector<float> SoundContent(const std::vector<float>& samples, size_t begin)
{
    std::vector<float> content;
    for (const SoundRun& run : SoundRuns(samples, begin))
        content.insert(content.end(), samples.begin() + run.begin, samples.begin() + run.end);
    return content;
}

float Peak(const std::vector<float>& samples, size_t begin, size_t end)
{
    float peak = 0.0f;
    for (size_t i = begin; i < std::min(end, samples.size()); ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

float Rms(const std::vector<float>& samples, size_t begin, size_t end)
{
    end = std::min(end, samples.size());
    if (begin >= end)
        return 0.0f;
    double sum = 0.0;
    for (size_t i = begin; i < end; ++i)
        sum += double(samples[i]) * samples[i];
    return static_cast<float>(std::sqrt(sum / double(end - begin)));
}

double Decibels(float ratio)
{
    return 20.0 * std::log10(std::max(ratio, 1e-9f));
}

std::vector<NoteWindow> NoteWindows(const std::vector<float>& samples, size_t begin)
{
    // Windows start afresh in every run, so that none straddles a missing piece.
    std::vector<NoteWindow> windows;
    for (const SoundRun& run : SoundRuns(samples, begin))
        for (size_t start = run.begin; start + kNoteWindow <= run.end; start += kNoteWindow)
            windows.push_back({start, start + kNoteWindow, DominantNote(&samples[start], kNoteWindow)});
    return windows;
}

std::vector<int> NoteSequence(const std::vector<float>& samples, size_t begin)
{
    std::vector<int> notes;
    int current = -1;
    size_t seen = 0;
    for (const NoteWindow& window : NoteWindows(samples, begin)) {
        // Windows that hold no clear note (a change of note, the edge of a piece) are skipped.
        if (window.note < 0)
            continue;
        if (window.note == current) {
            ++seen;
        } else {
            current = window.note;
            seen = 1;
        }
        if (seen == kMinNoteWindows && (notes.empty() || notes.back() != current))
            notes.push_back(current);
    }
    return notes;
}

std::string Describe(const std::vector<int>& notes)
{
    std::string text;
    for (int note : notes)
        text += (text.empty() ? "" : " ") + std::to_string(note);
    return "[" + text + "]";
}

std::string CaptureSummary()
{
    std::string summary;
    for (const std::string& name : CaptureFiles()) {
        size_t bytes = ReadFileBytes(CaptureFolder() + "\\" + name).size();
        summary += name + ": " + std::to_string(bytes / (2 * sizeof(float))) + " frames\n";
    }
    std::vector<float> samples = ReadCapture();
    std::vector<NoteWindow> windows = NoteWindows(samples);
    size_t next = 0;
    for (const SoundRun& run : SoundRuns(samples)) {
        char line[64] = {};
        std::snprintf(line, sizeof line, "  at %.3f s, %zu frames: ", double(run.begin) / kCaptureRate,
                      run.end - run.begin);
        summary += line;
        for (; next < windows.size() && windows[next].begin < run.end; ++next)
            summary += windows[next].note < 0 ? '.' : char('0' + windows[next].note);
        summary += "\n";
    }
    return summary;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

bool WaitForContent(size_t begin, double seconds, DWORD timeoutMs)
{
    return WaitUntil([&] { return SoundContent(ReadCapture(), begin).size() >= seconds * kCaptureRate; },
                     timeoutMs);
}

std::vector<int> CapturedNotes(size_t begin)
{
    return NoteSequence(ReadCapture(), begin);
}

bool WaitForNote(size_t begin, int note, DWORD timeoutMs)
{
    return WaitUntil(
        [&] {
            std::vector<int> notes = CapturedNotes(begin);
            return std::find(notes.begin(), notes.end(), note) != notes.end();
        },
        timeoutMs);
}

double WaitForQuiet(size_t begin, DWORD quietMs, DWORD timeoutMs)
{
    size_t last = SoundContent(ReadCapture(), begin).size();
    DWORD changed = GetTickCount();
    DWORD start = changed;
    while (GetTickCount() - changed < quietMs && GetTickCount() - start < timeoutMs) {
        Sleep(20);
        size_t now = SoundContent(ReadCapture(), begin).size();
        if (now != last) {
            last = now;
            changed = GetTickCount();
        }
    }
    return double(last) / kCaptureRate;
}
