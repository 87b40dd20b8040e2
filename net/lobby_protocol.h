#pragma once
// The lobby's message types and the record that carries one message. Plain C++ without any
// system header, so that the frame reader built on it can be tested natively as well.

// Message types, on the wire and in the queues.
const int MSG_SERVER_FULL = 1001;
const int MSG_PLAYER_ID = 1004;
const int MSG_CHAT = 2000;  // plus the sender's player number
const int MSG_CHAT_LAST = 2015;
const int MSG_PLAYER_JOINED = 3000;
const int MSG_PLAYER_LEFT = 3001;
const int MSG_START_GAME = 99999;

const int LOBBY_HANDSHAKE_WORD = 12345;
const int LOBBY_MAX_PLAYERS = 4;  // the host (player 0) and three clients
// A peer that announces a longer payload is treated as a lost connection. The pages never
// send more than a few KiB.
const int LOBBY_MAX_PAYLOAD = 65536;

// pData is a block from malloc of nLength bytes, or null when nLength is 0.
// Pushing a record hands its payload to the queue; whoever pops it owns the payload and
// releases it with free().
// What the network threads put into LobbyInbox is checked first: MSG_PLAYER_ID,
// MSG_PLAYER_JOINED and MSG_PLAYER_LEFT carry exactly 4 bytes (a little-endian player
// number); a chat payload (MSG_CHAT to MSG_CHAT_LAST) has at least 1 byte and its last byte is
// NUL, so it can be used as text; no payload is longer than LOBBY_MAX_PAYLOAD.
struct NetMessage {
    int nType;
    int nLength;
    char* pData;
};
