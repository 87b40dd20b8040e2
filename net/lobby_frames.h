#pragma once
// The lobby's frames as bytes: how a message is read from a peer's stream, what each side
// keeps of what it read, and how a message is written. No system header: the same code runs
// in the wizard and natively under the fuzzer.
#include "lobby_protocol.h"

// Wire encoding: every integer is a signed 32-bit little-endian value.
void PutInt32(char* p, int value);
int GetInt32(const char* p);

// Fills the whole buffer from the peer's stream, or returns false (closed, failed, cancelled).
typedef bool (*FrameSource)(void* pContext, char* pBuffer, int nLength);

// One framed message, its payload in a block from malloc. False ends the connection: the
// source failed, the length lies outside 0..LOBBY_MAX_PAYLOAD, or there is no memory for
// the payload; nothing is then held.
bool ReadNetMessage(FrameSource source, void* pContext, NetMessage* message);

bool IsChatType(int nType);
// A client may speak only as itself: the host keeps from player nPlayer its own chat lines
// and nothing else (a start signal, player numbers, somebody else's chat would act on the
// other players). A kept line is made text that ends within its length; the caller frees
// the payload of a record that is not kept.
bool KeepFromClient(int nPlayer, NetMessage& message);
// A client keeps what has the shape its type promises: 4 bytes for a player number, at
// least one byte for a chat line, which is made text that ends within its length. The
// caller frees the payload of a record that is not kept.
bool KeepFromHost(NetMessage& message);

// Frames gathered for one send: a relay pass goes out to each client in one piece.
const int FRAME_BATCH_SIZE = 8 + LOBBY_MAX_PAYLOAD;
struct FrameBatch {
    char* pData;  // FRAME_BATCH_SIZE bytes
    int nUsed;
};
// False when the frame does not fit beside what the batch holds. A message that does not
// fit into an empty batch is longer than any peer accepts and cannot be sent at all.
bool AddFrame(FrameBatch& batch, const NetMessage& message);
