#include "answer_limit.h"

namespace {

const uint32_t SECOND_MS = 1000;

// Counts one more answer in the current second, or says there is no room left in it.
bool CountAnswer(uint32_t& dwSecondStart, int& nAnswers, int nMaxAnswers, uint32_t dwNowMs)
{
    if (dwNowMs - dwSecondStart >= SECOND_MS) {
        dwSecondStart = dwNowMs;
        nAnswers = 0;
    }
    if (nAnswers >= nMaxAnswers)
        return false;
    ++nAnswers;
    return true;
}

// The address's record; a new one takes a free place or the place of the address that
// has been quiet longest.
AddressAnswers& RecordOf(AnswerLimit& limit, uint32_t dwAddress, uint32_t dwNowMs)
{
    int oldest = 0;
    for (int i = 0; i < limit.nAddresses; ++i) {
        AddressAnswers& record = limit.aAddresses[i];
        if (record.dwAddress == dwAddress)
            return record;
        if (dwNowMs - record.dwSecondStart > dwNowMs - limit.aAddresses[oldest].dwSecondStart)
            oldest = i;
    }
    int place = limit.nAddresses < LAN_LIMITED_ADDRESSES ? limit.nAddresses++ : oldest;
    AddressAnswers& record = limit.aAddresses[place];
    record.dwAddress = dwAddress;
    record.dwSecondStart = dwNowMs;
    record.nAnswers = 0;
    return record;
}

} // namespace

bool MayAnswer(AnswerLimit& limit, uint32_t dwAddress, uint32_t dwNowMs)
{
    AddressAnswers& record = RecordOf(limit, dwAddress, dwNowMs);
    // The address's own count first: an address over its limit takes nothing from the others.
    if (!CountAnswer(record.dwSecondStart, record.nAnswers, LAN_ANSWERS_PER_ADDRESS, dwNowMs))
        return false;
    if (!CountAnswer(limit.dwSecondStart, limit.nAnswers, LAN_ANSWERS_IN_ALL, dwNowMs)) {
        --record.nAnswers;
        return false;
    }
    return true;
}
