// The directory service's checks of a publication body: any bytes become either an entry it
// may list or a refusal with a reason.
#include "fuzz_check.h"
#include "publication.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ServerEntry entry = {};
    std::string reason;
    if (!ParsePublication(data, size, &entry, &reason)) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    FUZZ_CHECK(size == sizeof(ServerEntry));
    FUZZ_CHECK(entry.nPort >= MIN_HOST_PORT && entry.nPort <= MAX_HOST_PORT);

    // The name: non-empty printable text that ends within its field, nothing after it.
    const size_t nameLength = strnlen(entry.szName, sizeof entry.szName);
    FUZZ_CHECK(nameLength > 0 && nameLength < sizeof entry.szName);
    FUZZ_CHECK(std::memcmp(entry.szName, data + 80, nameLength) == 0);
    for (size_t i = 0; i < nameLength; ++i) {
        unsigned char c = static_cast<unsigned char>(entry.szName[i]);
        FUZZ_CHECK(c >= 0x20 && c != 0x7F);
    }
    for (size_t i = nameLength; i < sizeof entry.szName; ++i)
        FUZZ_CHECK(entry.szName[i] == '\0');

    // The address is the service's to fill in, and the bytes nobody sets stay zero.
    for (char c : entry.szAddress)
        FUZZ_CHECK(c == '\0');
    for (uint8_t b : entry.abUnset)
        FUZZ_CHECK(b == 0);
    return 0;
}
