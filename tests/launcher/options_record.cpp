#include "options_record.h"

#include <cstdio>

namespace {

const int kFieldCount = 10;

void Put32(std::vector<unsigned char>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t Get32(const std::vector<unsigned char>& bytes, size_t offset)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

void ToValues(const OptionsFields& f, uint32_t values[kFieldCount])
{
    const uint32_t all[kFieldCount] = {
        f.dwSize, f.bSoundOn, static_cast<uint32_t>(f.lMusicVolume), static_cast<uint32_t>(f.lSoundVolume),
        f.bFullScreen, f.dwResolution, f.bSinglePlayer, f.dwDetail, f.dwParticles, f.bMipmapping,
    };
    for (int i = 0; i < kFieldCount; ++i)
        values[i] = all[i];
}

} // namespace

std::vector<unsigned char> RecordBytes(const OptionsFields& fields)
{
    std::vector<unsigned char> bytes(kRecordSize, 0);
    uint32_t values[kFieldCount];
    ToValues(fields, values);
    for (int i = 0; i < kFieldCount; ++i)
        Put32(bytes, kFieldsOffset + 4 * i, values[i]);
    return bytes;
}

OptionsFields FieldsOf(const std::vector<unsigned char>& record)
{
    OptionsFields f = {};
    if (record.size() < kFieldsOffset + 4 * kFieldCount)
        return f;
    size_t at = kFieldsOffset;
    f.dwSize = Get32(record, at);
    f.bSoundOn = Get32(record, at + 4);
    f.lMusicVolume = static_cast<int32_t>(Get32(record, at + 8));
    f.lSoundVolume = static_cast<int32_t>(Get32(record, at + 12));
    f.bFullScreen = Get32(record, at + 16);
    f.dwResolution = Get32(record, at + 20);
    f.bSinglePlayer = Get32(record, at + 24);
    f.dwDetail = Get32(record, at + 28);
    f.dwParticles = Get32(record, at + 32);
    f.bMipmapping = Get32(record, at + 36);
    return f;
}

std::string Describe(const OptionsFields& f)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "{size %lu, sound %lu, music %ld, effects %ld, full screen %lu, resolution %lu, "
                  "single %lu, detail %lu, particles %lu, mipmapping %lu}",
                  (unsigned long)f.dwSize, (unsigned long)f.bSoundOn, (long)f.lMusicVolume,
                  (long)f.lSoundVolume, (unsigned long)f.bFullScreen, (unsigned long)f.dwResolution,
                  (unsigned long)f.bSinglePlayer, (unsigned long)f.dwDetail, (unsigned long)f.dwParticles,
                  (unsigned long)f.bMipmapping);
    return text;
}

bool operator==(const OptionsFields& a, const OptionsFields& b)
{
    uint32_t va[kFieldCount];
    uint32_t vb[kFieldCount];
    ToValues(a, va);
    ToValues(b, vb);
    for (int i = 0; i < kFieldCount; ++i)
        if (va[i] != vb[i])
            return false;
    return true;
}
