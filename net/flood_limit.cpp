#include "flood_limit.h"

namespace {

TokenBucket FullBucket(int perSecond, int burst)
{
    TokenBucket bucket = {};
    bucket.nMilliBurst = 1000LL * burst;
    bucket.nMilliTokens = bucket.nMilliBurst;
    bucket.nPerSecond = perSecond;
    return bucket;
}

void Refill(TokenBucket& bucket, unsigned int elapsedMs)
{
    // Every bucket is full again after a minute; longer gaps need not be counted.
    unsigned int counted = elapsedMs < 60000 ? elapsedMs : 60000;
    bucket.nMilliTokens += bucket.nPerSecond * counted;
    if (bucket.nMilliTokens > bucket.nMilliBurst)
        bucket.nMilliTokens = bucket.nMilliBurst;
}

}  // namespace

void StartFloodLimit(FloodLimit& limit, unsigned int nowMs)
{
    limit.lines = FullBucket(FLOOD_LINES_PER_SECOND, FLOOD_LINE_BURST);
    limit.bytes = FullBucket(FLOOD_BYTES_PER_SECOND, FLOOD_BYTE_BURST);
    limit.nLastMs = nowMs;
}

bool AdmitLine(FloodLimit& limit, int nBytes, unsigned int nowMs)
{
    unsigned int elapsed = nowMs - limit.nLastMs;
    limit.nLastMs = nowMs;
    Refill(limit.lines, elapsed);
    Refill(limit.bytes, elapsed);
    long long lineCost = 1000;
    long long byteCost = 1000LL * nBytes;
    if (limit.lines.nMilliTokens < lineCost || limit.bytes.nMilliTokens < byteCost)
        return false;
    limit.lines.nMilliTokens -= lineCost;
    limit.bytes.nMilliTokens -= byteCost;
    return true;
}
