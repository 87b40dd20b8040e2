#pragma once
// The options record as the game sees it: ten 32-bit little-endian values from byte 32 of
// a 164-byte file. Built byte by byte here, so that the tests check the launcher's layout
// against the file format instead of against itself.
#include <cstdint>
#include <string>
#include <vector>

struct OptionsFields {
    uint32_t dwSize;
    uint32_t bSoundOn;
    int32_t lMusicVolume;
    int32_t lSoundVolume;
    uint32_t bFullScreen;
    uint32_t dwResolution;
    uint32_t bSinglePlayer;
    uint32_t dwDetail;
    uint32_t dwParticles;
    uint32_t bMipmapping;
};

const size_t kRecordSize = 164;
const size_t kFieldsOffset = 32;

// What a fresh install writes when no options file and no default file exist.
const OptionsFields kFirstStartFields = {164, 1, 0, 0, 1, 0, 1, 0, 0, 0};

std::vector<unsigned char> RecordBytes(const OptionsFields& fields);
OptionsFields FieldsOf(const std::vector<unsigned char>& record);
std::string Describe(const OptionsFields& fields);
bool operator==(const OptionsFields& a, const OptionsFields& b);
