// The wizard's reading of a downloaded server list: the list a body of any length makes,
// and the names and addresses the list page shows, each within its 80-byte field.
#include "fuzz_check.h"
#include "server_entry.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void CheckText(const std::string& text, size_t fieldSize)
{
    FUZZ_CHECK(text.size() <= fieldSize);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ServerList list = ServerListFromBody(reinterpret_cast<const char*>(data), size);

    // The body's bytes, then zero.
    const uint8_t* listed = reinterpret_cast<const uint8_t*>(&list);
    const size_t covered = size < sizeof list ? size : sizeof list;
    FUZZ_CHECK(std::memcmp(listed, data, covered) == 0);
    for (size_t i = covered; i < sizeof list; ++i)
        FUZZ_CHECK(listed[i] == 0);

    for (const ServerEntry& entry : list.aEntries) {
        CheckText(EntryText(entry.szName), sizeof entry.szName);
        CheckText(EntryText(entry.szAddress), sizeof entry.szAddress);
    }
    return 0;
}
