#pragma once
// How often a host answers LAN queries: a few times a second for each address that asks,
// and a bounded number of times a second in all, so that forged queries cannot turn a host
// into a stream of datagrams toward somebody else. Only reads and writes its own record.
#include <cstdint>

const int LAN_ANSWERS_PER_ADDRESS = 4;  // in each second
const int LAN_ANSWERS_IN_ALL = 32;      // in each second, whatever the addresses
const int LAN_LIMITED_ADDRESSES = 64;   // addresses remembered at once

struct AddressAnswers {
    uint32_t dwAddress;
    uint32_t dwSecondStart;  // in milliseconds, on the caller's clock
    int nAnswers;
};

struct AnswerLimit {
    AddressAnswers aAddresses[LAN_LIMITED_ADDRESSES];
    int nAddresses;
    uint32_t dwSecondStart;
    int nAnswers;
};

// True when a query from the address may be answered at the time given (milliseconds of
// any clock that counts up and wraps around); counts the answer. A fresh AnswerLimit is
// all zero.
bool MayAnswer(AnswerLimit& limit, uint32_t dwAddress, uint32_t dwNowMs);
