#pragma once
// The wizard's controls as the whole-program tests name them to the driver: the ids the
// player meets on the pages on the way to the lobby and in it.
const char* const HOST_GAME = "1002";
const char* const JOIN_GAME = "1003";
const char* const PLAYER_NAME = "1012";
const char* const DIRECT_METHOD = "1002";
const char* const ADDRESS = "1017";
const char* const SERVER_NAME = "1017";
const char* const PORT = "1006";
const char* const TRANSCRIPT = "1017";
const char* const CHAT_INPUT = "1006";
const char* const PLAYER_COUNT = "1021";
