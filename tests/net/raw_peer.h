#pragma once
// A lobby peer made of plain sockets: the tests write and read the wire bytes themselves,
// so that each side of the lobby is checked against the protocol and not against our encoder.
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

Bytes operator+(Bytes first, const Bytes& second);
// The characters of a text, without a NUL.
Bytes Text(const std::string& text);
// "39 30 00 00", for failure messages.
std::string Hex(const Bytes& bytes);

void StartWinsock();
// A TCP port on which nothing listens at the moment.
int FreePort();
// A listening socket on 127.0.0.1; *port receives the port the system chose.
SOCKET ListenOnLoopback(int* port);
// INVALID_SOCKET when nothing accepts. A small receive buffer makes a peer that stops
// reading back up quickly.
SOCKET ConnectToPort(int port, int receiveBuffer = 0);
bool SendRaw(SOCKET s, const Bytes& bytes);
// Fewer bytes than asked for when the stream ended or the time ran out.
Bytes ReadBytes(SOCKET s, size_t count, DWORD timeoutMs);
// Reads and discards until the stream ends (closed or reset); false if it is still open
// when the time runs out.
bool ConnectionEnds(SOCKET s, DWORD timeoutMs);

struct Frame {
    int type;
    Bytes payload;
    Bytes raw;  // header and payload as they came
};
bool ReadFrame(SOCKET s, Frame* frame, DWORD timeoutMs);
