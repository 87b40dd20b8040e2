// The wizard's directory requests against loopback peers: the bytes of a published entry
// and the list made from a downloaded body. Expected bytes are written out by offset.
#include "loopback_peer.h"
#include "server_directory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

const char* const LIST_REPLY_HEADER = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";

int32_t Int32At(const std::string& bytes, size_t offset)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutText(std::string* bytes, size_t offset, const std::string& text)
{
    bytes->replace(offset, text.size(), text);
}

void PutInt32(std::string* bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        (*bytes)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

bool AllZero(const std::string& bytes, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i) {
        if (bytes[i] != '\0') {
            return false;
        }
    }
    return true;
}

std::string PublishedBody(const char* szName)
{
    LoopbackPeer peer("HTTP/1.0 200 OK\r\n\r\n", PeerEnding::Close, 264);
    PublishServerTo("127.0.0.1", peer.Port(), 11, 2345, 22, 4, 33, szName);
    std::string request = peer.Request();
    size_t nHeaderEnd = request.find("\r\n\r\n");
    EXPECT_NE(nHeaderEnd, std::string::npos);
    EXPECT_NE(request.find("Content-length: 264\r\n"), std::string::npos);
    return nHeaderEnd == std::string::npos ? std::string() : request.substr(nHeaderEnd + 4);
}

TEST(PublishServer, SendsTheEntryWithEveryUnsetByteZero)
{
    std::string body = PublishedBody("Ann's server");
    ASSERT_EQ(body.size(), 264u);
    EXPECT_TRUE(AllZero(body, 0, 80)) << "the address is the directory's to fill in";
    EXPECT_EQ(body.substr(80, 13), std::string("Ann's server\0", 13));
    EXPECT_TRUE(AllZero(body, 93, 160));
    EXPECT_EQ(Int32At(body, 160), 22);
    EXPECT_EQ(Int32At(body, 164), 11);
    EXPECT_TRUE(AllZero(body, 168, 252));
    EXPECT_EQ(Int32At(body, 252), 33);
    EXPECT_EQ(Int32At(body, 256), 4);
    EXPECT_EQ(Int32At(body, 260), 2345);
}

TEST(PublishServer, CutsALongNameTo79CharactersAndANul)
{
    const std::string name(255, 'N');
    std::string body = PublishedBody(name.c_str());
    ASSERT_EQ(body.size(), 264u);
    EXPECT_EQ(body.substr(80, 80), std::string(79, 'N') + '\0');
    EXPECT_EQ(Int32At(body, 160), 22) << "the name ran over into the next field";
}

std::string TwoEntryList()
{
    std::string list(5280, '\0');
    PutText(&list, 0, "127.0.0.5");
    PutText(&list, 80, "First");
    PutInt32(&list, 160, 1);
    PutInt32(&list, 164, 1);
    PutInt32(&list, 252, 1);
    PutInt32(&list, 256, 4);
    PutInt32(&list, 260, 2300);
    // The second entry's address fills its whole field: no NUL before the name.
    PutText(&list, 264, std::string(80, 'h'));
    PutText(&list, 264 + 80, "Second");
    PutInt32(&list, 264 + 260, 36000);
    return list;
}

TEST(ReadServerList, CopiesTheBodyIntoTheListAndLeavesTheRestZero)
{
    const std::string list = TwoEntryList();
    struct ListCase {
        const char* szName;
        std::string reply;
        std::string expected;  // the list's 5280 bytes
    };
    const ListCase cases[] = {
        {"whole list", LIST_REPLY_HEADER + list, list},
        {"short body", LIST_REPLY_HEADER + list.substr(0, 300), list.substr(0, 300) + std::string(4980, '\0')},
        {"longer body", LIST_REPLY_HEADER + list + "trailing bytes", list},
        {"no body", "HTTP/1.0 200 OK\r\n", std::string(5280, '\0')},
    };
    for (const ListCase& c : cases) {
        LoopbackPeer peer(c.reply, PeerEnding::Close);
        ServerList result = ReadServerListFrom("127.0.0.1", peer.Port());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&result), sizeof result), c.expected) << c.szName;
        EXPECT_EQ(peer.Request(), "GET /cgi-bin/quarvcgiread.exe HTTP/1.0\nHost: 127.0.0.1\r\n\r\n") << c.szName;
    }
}

TEST(ReadServerList, IsAllZeroWhenTheDirectoryCannotBeReached)
{
    RefusingPort refusing;
    ServerList result = ReadServerListFrom("127.0.0.1", refusing.Port());
    const std::string bytes(reinterpret_cast<const char*>(&result), sizeof result);
    EXPECT_TRUE(AllZero(bytes, 0, bytes.size()));
}

TEST(ReadServerList, EntryTextsStopAtTheEndOfTheirFields)
{
    LoopbackPeer peer(LIST_REPLY_HEADER + TwoEntryList(), PeerEnding::Close);
    ServerList result = ReadServerListFrom("127.0.0.1", peer.Port());
    EXPECT_EQ(EntryText(result.aEntries[0].szAddress), "127.0.0.5");
    EXPECT_EQ(EntryText(result.aEntries[0].szName), "First");
    EXPECT_EQ(result.aEntries[0].nPort, 2300);
    EXPECT_EQ(EntryText(result.aEntries[1].szAddress), std::string(80, 'h'));
    EXPECT_EQ(EntryText(result.aEntries[1].szName), "Second");
    EXPECT_EQ(result.aEntries[1].nPort, 36000);
    EXPECT_EQ(EntryText(result.aEntries[2].szName), "");
}

}  // namespace
