#include "lobby_load.h"

#include <cstdio>

#include "lobby_bytes.h"
#include "wizard_ports.h"

DWORD HostOn(const WizardPlayer& host, int port)
{
    return host.Drive({"page", "1", "click", HOST_GAME, "set", PLAYER_NAME, host.Name(), "next", "page", "7", "set",
                       SERVER_NAME, "Busy Server", "set", PORT, std::to_string(port), "next", "page", "8"});
}

DWORD JoinOn(const WizardPlayer& player, int port)
{
    return player.Drive({"page", "1", "click", JOIN_GAME, "set", PLAYER_NAME, player.Name(), "next", "page", "2",
                         "click", DIRECT_METHOD, "next", "page", "3", "set", ADDRESS, "127.0.0.1", "set", PORT,
                         std::to_string(port), "next", "page", "6"});
}

SOCKET JoinRawHost(const WizardPlayer& player)
{
    int port = 0;
    SOCKET listener = ListenOnWizardPort(&port);
    if (listener == INVALID_SOCKET)
        return INVALID_SOCKET;
    SOCKET hostSide = INVALID_SOCKET;
    std::thread host([&] {
        hostSide = accept(listener, nullptr, nullptr);
        SendRaw(hostSide, Opening(2));
    });
    DWORD joined = JoinOn(player, port);
    closesocket(listener);  // lets the accept go if the wizard never came
    host.join();
    if (joined != 0 && hostSide != INVALID_SOCKET) {
        closesocket(hostSide);
        hostSide = INVALID_SOCKET;
    }
    return hostSide;
}

SOCKET JoinAsRawClient(int port, int player, int receiveBuffer)
{
    SOCKET s = ConnectToPort(port, receiveBuffer);
    if (s != INVALID_SOCKET && ReadBytes(s, 16, 5000) != Opening(player)) {
        closesocket(s);
        s = INVALID_SOCKET;
    }
    return s;
}

Bytes FloodBytes(int player, const std::string& name, size_t bytes, const std::string& last)
{
    Bytes flood;
    std::string padding(180, '!');
    for (int n = 0; flood.size() < bytes; ++n) {
        Bytes line = ChatFrame(player, name + "->flood " + std::to_string(n) + " " + padding);
        flood.insert(flood.end(), line.begin(), line.end());
    }
    Bytes end = ChatFrame(player, last);
    flood.insert(flood.end(), end.begin(), end.end());
    return flood;
}

AnswerWatch::AnswerWatch(const WizardPlayer& player, DWORD durationMs)
    : thread_([this, &player, durationMs] {
          std::string output;
          player.Drive({"answers", TRANSCRIPT, std::to_string(durationMs)}, &output);
          std::sscanf(output.c_str(), "longest %lf", &longestMs_);
      })
{
}

AnswerWatch::~AnswerWatch()
{
    if (thread_.joinable())
        thread_.join();
}

double AnswerWatch::LongestMs()
{
    if (thread_.joinable())
        thread_.join();
    return longestMs_;
}

bool ReadFramesUntil(SOCKET s, const std::atomic<bool>& stop, const std::function<void(const Frame&)>& take)
{
    while (!stop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait = {0, 200000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        Frame frame = {};
        if (!ReadFrame(s, &frame, 10000))
            return false;
        take(frame);
    }
    return true;
}

FrameReader::FrameReader(SOCKET s) : socket_(s), thread_([this] { Run(); }) {}

FrameReader::~FrameReader()
{
    Stop();
}

std::vector<FrameReader::Received> FrameReader::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return received_;
}

void FrameReader::Run()
{
    ReadFramesUntil(socket_, stop_, [this](const Frame& frame) { received_.push_back({frame, NowMs()}); });
}
