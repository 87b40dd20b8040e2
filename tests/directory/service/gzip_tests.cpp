// Compressed answers: what a client's Accept-Encoding takes, and gzip data that zlib's own
// reader (inflate, told to expect the gzip wrapper) gives back unchanged.
#include "gzip.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Gunzip(const std::string& data)
{
    z_stream stream = {};
    EXPECT_EQ(inflateInit2(&stream, 16 + 15), Z_OK);
    std::string out(1 << 20, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

TEST(Gzip, ComesBackUnchanged)
{
    std::string rows;
    for (int i = 0; i < 5000; ++i) {
        rows += "<tr><td class=\"name\">host " + std::to_string(i) + "</td><td>10.0.0." + std::to_string(i % 250) +
                ":2300</td></tr>\n";
    }
    for (const std::string& data : {std::string(), std::string("x"), rows}) {
        std::string packed = Gzip(data);
        ASSERT_GE(packed.size(), 18u) << "header and trailer";
        EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x1F);
        EXPECT_EQ(static_cast<unsigned char>(packed[1]), 0x8B);
        EXPECT_EQ(Gunzip(packed), data);
    }
    EXPECT_LT(Gzip(rows).size(), rows.size() / 5) << "alike rows shrink";
}

TEST(Gzip, TakenOnlyWhereTheClientSaysSo)
{
    struct AcceptCase {
        const char* header;
        bool gzip;
    };
    const AcceptCase cases[] = {
        {nullptr, false},
        {"", false},
        {"gzip", true},
        {"gzip, deflate, br", true},
        {"deflate,gzip;q=0.5", true},
        {"br ; q=1 , GZip", true},
        {"gzip;q=0", false},
        {"br, gzip; q=0.000", false},
        {"identity", false},
        {"gzipped, x-gzip", false},
        {"*", false},
    };
    for (const AcceptCase& c : cases) {
        EXPECT_EQ(AcceptsGzip(c.header), c.gzip) << (c.header ? c.header : "no header");
    }
}

}  // namespace
