// Kestrune's resources as the program carries them: the dialog template read word by word
// from the resource data, the accelerator entries, the picture and the icons.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "resource.h"

namespace {

// Reads a plain (not extended) dialog template.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : at_(data), start_(data) {}

    DWORD Dword()
    {
        DWORD v;
        std::memcpy(&v, at_, 4);
        at_ += 4;
        return v;
    }
    WORD Word()
    {
        WORD v;
        std::memcpy(&v, at_, 2);
        at_ += 2;
        return v;
    }
    short Short() { return static_cast<short>(Word()); }
    // A name or a number: "#<n>" for a number, as the resource compiler stores "ordinals".
    std::string NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text;
        for (WORD c = first; c != 0; c = Word())
            text += static_cast<char>(c);
        return text;
    }
    void AlignToDword()
    {
        while ((at_ - start_) % 4)
            ++at_;
    }

private:
    const BYTE* at_;
    const BYTE* start_;
};

std::string ClassName(const std::string& nameOrOrdinal)
{
    // The predefined control classes are stored as their atoms.
    if (nameOrOrdinal == "#128")
        return "BUTTON";
    if (nameOrOrdinal == "#130")
        return "STATIC";
    return nameOrOrdinal;
}

const BYTE* ResourceData(LPCSTR type, int id, DWORD* size = nullptr)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!info)
        return nullptr;
    if (size)
        *size = SizeofResource(module, info);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
}

struct ControlRow {
    int id;
    const char* cls;
    const char* text;
    short x, y, cx, cy;
    DWORD style;
};

const ControlRow kControls[] = {
    {1, "BUTTON", "START QUARV!", 51, 227, 74, 18, 0x50010F01},
    {2, "BUTTON", "QUIT", 209, 227, 73, 18, 0x50010F00},
    {1004, "BUTTON", "SINGLE-PLAYER", 75, 61, 101, 14, 0x50030009},
    {1005, "BUTTON", "MULTI-PLAYER", 73, 81, 89, 16, 0x50000009},
    {1003, "BUTTON", "GAME MODE OPTIONS", 59, 44, 167, 65, 0x50000007},
    {1001, "SysTabControl32", "Tab1", 7, 19, 322, 202, 0x50010040},
    {1014, "msctls_trackbar32", "Slider1", 51, 132, 217, 23, 0x50010001},
    {1015, "msctls_trackbar32", "Slider2", 51, 180, 215, 19, 0x50010001},
    {1018, "STATIC", "Sound Effects Volume", 51, 114, 87, 16, 0x5002020C},
    {1019, "STATIC", "Music Volume", 51, 160, 84, 18, 0x50020200},
    {1016, "BUTTON", "TEST", 275, 132, 47, 17, 0x50010000},
    {1017, "BUTTON", "TEST", 275, 177, 47, 17, 0x50010000},
    {1020, "BUTTON", "SOUND OPTIONS", 58, 44, 167, 65, 0x50000007},
    {1007, "BUTTON", "SOUND OFF", 73, 82, 101, 14, 0x50000009},
    {1006, "BUTTON", "SOUND ON", 73, 59, 101, 14, 0x50010009},
    {1012, "BUTTON", "SCREEN OPTIONS", 25, 34, 108, 58, 0x50000007},
    {1008, "BUTTON", "FULL-SCREEN", 35, 49, 73, 14, 0x50000009},
    {1009, "BUTTON", "WINDOW", 36, 68, 72, 14, 0x50000009},
    {1013, "BUTTON", "RESOLUTION", 26, 101, 108, 55, 0x50000007},
    {1022, "BUTTON", "800X600 32-BIT", 37, 116, 75, 14, 0x50030009},
    {1023, "BUTTON", "800X600 16-BIT", 38, 135, 87, 14, 0x50000009},
    {1021, "BUTTON", "GRAPHICAL DETAIL", 202, 34, 108, 47, 0x50000007},
    {1010, "BUTTON", "SPEED", 217, 48, 73, 14, 0x50030009},
    {1011, "BUTTON", "QUALITY", 218, 64, 72, 14, 0x50000009},
    {1024, "BUTTON", "MIPMAPPING", 202, 84, 108, 47, 0x50000007},
    {1025, "BUTTON", "ON", 217, 98, 73, 14, 0x50030009},
    {1026, "BUTTON", "OFF", 218, 114, 69, 13, 0x50000009},
    {1027, "BUTTON", "PARTICLES LEVEL", 202, 139, 107, 71, 0x50000007},
    {1028, "BUTTON", "LOW", 217, 152, 73, 14, 0x50030009},
    {1029, "BUTTON", "MEDIUM", 218, 169, 72, 14, 0x50000009},
    {1033, "BUTTON", "HIGH", 218, 187, 72, 14, 0x50000009},
    {1030, "STATIC", "#108", 63, 116, 208, 79, 0x5000090E},
    {3, "BUTTON", "Go to Q.U.A.R.V. Website", 102, 201, 125, 12, 0x50010F00},
};

} // namespace

TEST(Resources, OptionsDialogTemplateHoldsTheControlsInOrder)
{
    const BYTE* data = ResourceData(MAKEINTRESOURCEA(5) /* RT_DIALOG */, IDD_OPTIONS);
    ASSERT_NE(nullptr, data);
    TemplateReader t(data);

    DWORD style = t.Dword();
    ASSERT_NE(0xFFFF0001u, style) << "an extended template; a plain DIALOG is expected";
    EXPECT_EQ(0x80C808C6u, style);
    EXPECT_EQ(0u, t.Dword()) << "extended style";
    WORD count = t.Word();
    ASSERT_EQ(ARRAYSIZE(kControls), count);
    EXPECT_EQ(0, t.Short());
    EXPECT_EQ(0, t.Short());
    EXPECT_EQ(336, t.Short());
    EXPECT_EQ(251, t.Short());
    EXPECT_EQ("", t.NameOrOrdinal()) << "menu";
    EXPECT_EQ("", t.NameOrOrdinal()) << "class";
    EXPECT_EQ("Q.U.A.R.V. Options Menu", t.NameOrOrdinal());
    EXPECT_EQ(10, t.Word()) << "font size";
    EXPECT_EQ("Arial", t.NameOrOrdinal());

    for (const ControlRow& row : kControls) {
        SCOPED_TRACE("control " + std::to_string(row.id) + " \"" + row.text + "\"");
        t.AlignToDword();
        EXPECT_EQ(row.style, t.Dword());
        EXPECT_EQ(0u, t.Dword()) << "extended style";
        EXPECT_EQ(row.x, t.Short());
        EXPECT_EQ(row.y, t.Short());
        EXPECT_EQ(row.cx, t.Short());
        EXPECT_EQ(row.cy, t.Short());
        EXPECT_EQ(row.id, t.Word());
        EXPECT_STRCASEEQ(row.cls, ClassName(t.NameOrOrdinal()).c_str());
        EXPECT_EQ(row.text, t.NameOrOrdinal());
        EXPECT_EQ(0, t.Word()) << "creation data";
    }
}

TEST(Resources, AcceleratorTableHasEscF1AndAltX)
{
    struct Entry {
        WORD flags;
        WORD key;
        WORD command;
        WORD padding;
    };
    DWORD size = 0;
    const BYTE* data = ResourceData(MAKEINTRESOURCEA(9) /* RT_ACCELERATOR */, IDR_ACCELERATORS, &size);
    ASSERT_NE(nullptr, data);
    ASSERT_EQ(3 * sizeof(Entry), size);
    Entry entries[3];
    std::memcpy(entries, data, sizeof entries);

    const WORD kLast = 0x80;  // marks the table's final entry
    const Entry expected[] = {
        {FVIRTKEY | FNOINVERT, VK_ESCAPE, 1002, 0},
        {FVIRTKEY | FNOINVERT, VK_F1, 40001, 0},
        {FVIRTKEY | FNOINVERT | FALT | kLast, 'X', 1002, 0},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(expected[i].flags, entries[i].flags);
        EXPECT_EQ(expected[i].key, entries[i].key);
        EXPECT_EQ(expected[i].command, entries[i].command);
    }
}

TEST(Resources, TitlePictureIs364By157At24BitsPerPixel)
{
    const BYTE* data = ResourceData(MAKEINTRESOURCEA(2) /* RT_BITMAP */, IDB_TITLE_PICTURE);
    ASSERT_NE(nullptr, data);
    BITMAPINFOHEADER header = {};
    std::memcpy(&header, data, sizeof header);
    EXPECT_EQ(364, header.biWidth);
    EXPECT_EQ(157, header.biHeight);
    EXPECT_EQ(24, header.biBitCount);

    HBITMAP picture = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TITLE_PICTURE),
                                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, picture);
    BITMAP info = {};
    GetObjectA(picture, sizeof info, &info);
    EXPECT_EQ(364, info.bmWidth);
    EXPECT_EQ(157, info.bmHeight);
    EXPECT_EQ(24, info.bmBitsPixel);
    DeleteObject(picture);
}

TEST(Resources, ProgramIconIsGroup109AndThereIsNoIcon101)
{
    EXPECT_NE(nullptr, ResourceData(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, IDI_KESTRUNE));
    EXPECT_NE(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KESTRUNE)));
    EXPECT_EQ(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_CLASS_ICON)));
}
