#pragma once
// How much chat the host passes on from one client: token buckets for lines and for bytes,
// each refilled at a steady rate up to a burst allowance. A person typing, even fast, and
// pasting a screenful now and then, stays well inside both; a program that floods does not,
// and what goes beyond is dropped. The host's own lines are not limited. No system header:
// the buckets work on a millisecond clock the caller reads.

const int FLOOD_LINES_PER_SECOND = 4;
const int FLOOD_LINE_BURST = 10;
const int FLOOD_BYTES_PER_SECOND = 16384;
// Enough for one line of the largest payload a peer may send.
const int FLOOD_BYTE_BURST = 65536;
// A client whose lines are being dropped is named on the host's page at most this often.
const unsigned int FLOOD_NOTICE_INTERVAL_MS = 5000;

// Tokens in thousandths, so that a refill of a few milliseconds is not rounded away.
struct TokenBucket {
    long long nMilliTokens;
    long long nMilliBurst;
    long long nPerSecond;
};

struct FloodLimit {
    TokenBucket lines;
    TokenBucket bytes;
    unsigned int nLastMs;
};

// Both buckets full: a new connection starts with its whole burst allowance.
void StartFloodLimit(FloodLimit& limit, unsigned int nowMs);
// True when a line of nBytes may pass at nowMs, and then takes its tokens; a line that may
// not pass takes none. The clock may wrap around.
bool AdmitLine(FloodLimit& limit, int nBytes, unsigned int nowMs);
