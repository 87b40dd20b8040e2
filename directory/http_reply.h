#pragma once
// What the wizard makes of the bytes an HTTP server sends back. No system header: the same
// code runs in the wizard and natively under the fuzzer.
#include <cstddef>
#include <string>

// A server list is 5280 bytes; a reply this long is not one, and reading on would only
// let a broken or hostile server fill our memory.
const size_t HTTP_MAX_REPLY = 65536;

// Adds received bytes to the reply. False once the reply is longer than HTTP_MAX_REPLY:
// the reader stops there and trusts nothing of it.
bool AddReplyBytes(std::string* pReply, const char* pData, size_t nLength);

// The body is everything after the first empty line (CR LF CR LF), in a block from malloc
// that the caller frees, its length in *pnBodyLength. Null, leaving *pnBodyLength alone,
// for a reply of five bytes or fewer or one without an empty line.
char* ExtractBody(const std::string& reply, int* pnBodyLength);
