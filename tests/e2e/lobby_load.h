#pragma once
// What the lobby's load tests and its benchmark share: real wizards driven from outside,
// peers that write the wire bytes themselves, a watch on how long a page takes to answer,
// and readers that note when each frame came.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "clock_ms.h"
#include "raw_peer.h"
#include "wizard_controls.h"
#include "wizard_run.h"


// Drives the wizard to its host lobby on the port; the driver's exit code.
DWORD HostOn(const WizardPlayer& host, int port);
// Drives the wizard through the direct connection to the lobby of the host on the port.
DWORD JoinOn(const WizardPlayer& player, int port);
// Stands in for the player's host: drives the wizard through the direct connection to a
// socket of its own, sends it the opening of player 2, and returns the host's side of the
// connection, or INVALID_SOCKET when the wizard did not reach its lobby.
SOCKET JoinRawHost(const WizardPlayer& player);
// A raw client of the host, past its opening (INVALID_SOCKET when it did not get it).
SOCKET JoinAsRawClient(int port, int player, int receiveBuffer = 0);
// Chat lines of the player as one block of wire bytes: "name->flood n" lines padded to
// about 200 bytes, bytes in all, then the line `last`.
Bytes FloodBytes(int player, const std::string& name, size_t bytes, const std::string& last);

// How long a page took at most to answer another process, asked every 20 ms meanwhile.
class AnswerWatch {
public:
    AnswerWatch(const WizardPlayer& player, DWORD durationMs);
    ~AnswerWatch();
    AnswerWatch(const AnswerWatch&) = delete;
    AnswerWatch& operator=(const AnswerWatch&) = delete;
    // Waits for the watch to end; a very large figure when the driver could not measure.
    double LongestMs();

private:
    double longestMs_ = 1e9;
    std::thread thread_;
};

// Reads frames from s and hands each to take until stop is set (true) or the stream ends
// (false). A frame, once it has begun, is read to its end, however long it takes to come: one
// given up half-way would leave the rest of the stream out of step.
bool ReadFramesUntil(SOCKET s, const std::atomic<bool>& stop, const std::function<void(const Frame&)>& take);

// Reads a raw client's frames until Stop or the end of the stream, with the moment each came.
class FrameReader {
public:
    struct Received {
        Frame frame;
        double atMs;
    };
    explicit FrameReader(SOCKET s);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;
    std::vector<Received> Stop();

private:
    void Run();

    SOCKET socket_;
    std::atomic<bool> stop_{false};
    std::vector<Received> received_;
    std::thread thread_;
};
