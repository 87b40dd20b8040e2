// The options dialog driven as a player drives it: buttons clicked, tabs chosen, sliders
// moved with window messages; then the files it leaves and the programs it starts.
#include <gtest/gtest.h>

#include <ostream>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "dialog_fixture.h"
#include "message_box_watcher.h"
#include "options_dialog.h"
#include "resource.h"

namespace {

const int kRadioButtons[] = {
    IDC_SINGLE_PLAYER, IDC_MULTI_PLAYER, IDC_SOUND_ON, IDC_SOUND_OFF, IDC_FULL_SCREEN, IDC_WINDOW,
    IDC_RES_32BIT, IDC_RES_16BIT, IDC_DETAIL_SPEED, IDC_DETAIL_QUALITY, IDC_MIPMAP_ON, IDC_MIPMAP_OFF,
    IDC_PARTICLES_LOW, IDC_PARTICLES_MEDIUM, IDC_PARTICLES_HIGH,
};

const std::vector<int> kFirstStartChecked = {IDC_SINGLE_PLAYER, IDC_SOUND_ON, IDC_FULL_SCREEN, IDC_RES_32BIT};

const std::vector<int> kPageControls[] = {
    {1003, 1004, 1005, 1030, 3},
    {1012, 1008, 1009, 1022, 1023, 1010, 1011, 1025, 1026, 1028, 1029, 1033, 1013, 1021, 1024, 1027},
    {1014, 1015, 1016, 1017, 1018, 1019, 1006, 1007, 1020},
};

bool Contains(const std::vector<int>& ids, int id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Every radio button in the list is checked and every other one is not.
void ExpectChecked(HWND dialog, const std::vector<int>& checked)
{
    for (int id : kRadioButtons)
        EXPECT_EQ(Contains(checked, id), IsDlgButtonChecked(dialog, id) == BST_CHECKED) << "radio button " << id;
}

const char* ProgramFor(const OptionsFields& saved)
{
    return saved.bSinglePlayer == 1 ? "quarv.exe" : "Hollagrin.exe";
}

const char* OtherProgram(const char* program)
{
    return std::string(program) == "quarv.exe" ? "Hollagrin.exe" : "quarv.exe";
}

} // namespace

TEST_F(OptionsDialogTest, FirstStartShowsTheDefaultsAndStartWritesThemAndRunsTheGame)
{
    Open();

    ASSERT_EQ(3, SendMessageA(Control(IDC_TAB), TCM_GETITEMCOUNT, 0, 0));
    const char* titles[] = {"Game Mode", "Video", "Audio"};
    for (int i = 0; i < 3; ++i) {
        char text[64] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(Control(IDC_TAB), TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(titles[i], text);
    }
    EXPECT_EQ(0, SendMessageA(Control(IDC_TAB), TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(Visible(IDC_SINGLE_PLAYER));
    EXPECT_FALSE(Visible(IDC_FULL_SCREEN));
    EXPECT_EQ(Control(IDC_START), GetFocus());

    ExpectChecked(dialog_, kFirstStartChecked);
    for (int id : {IDC_SOUND_SLIDER, IDC_MUSIC_SLIDER}) {
        EXPECT_EQ(0, SliderPosition(id)) << id;
        EXPECT_EQ(-6000, SendMessageA(Control(id), TBM_GETRANGEMIN, 0, 0)) << id;
        EXPECT_EQ(0, SendMessageA(Control(id), TBM_GETRANGEMAX, 0, 0)) << id;
    }
    EXPECT_EQ(250, SendMessageA(Control(IDC_SOUND_SLIDER), TBM_GETPAGESIZE, 0, 0));
    EXPECT_EQ(300, SendMessageA(Control(IDC_MUSIC_SLIDER), TBM_GETPAGESIZE, 0, 0));
    EXPECT_EQ("TEST", Text(IDC_MUSIC_TEST));
    EXPECT_FALSE(QuitPosted());

    Click(IDC_START);

    std::vector<unsigned char> written = OptionsBytes();
    EXPECT_EQ(kRecordSize, written.size());
    EXPECT_EQ(RecordBytes(kFirstStartFields), written) << Describe(FieldsOf(written));
    std::string ran = WaitForRun("quarv.exe");
    EXPECT_NE(std::string::npos, ran.find("options.bin=164\n")) << ran;
    EXPECT_FALSE(FileExists(folder_.File("Hollagrin.exe.ran")));
    EXPECT_FALSE(FileExists(folder_.File("options.bin.tmp")));
    EXPECT_FALSE(IsWindowVisible(dialog_));
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(0u, pump_.quitCode);
}

struct StoredFile {
    const char* name;
    OptionsFields fields;
    size_t size;           // bytes of the record actually in the file
    bool junkInReserved;   // reserved bytes filled with 0xAB instead of zero
};

struct StoredCase {
    const char* name;
    std::vector<StoredFile> files;
    std::vector<int> checked;
    LONG soundSlider;
    LONG musicSlider;
    OptionsFields saved;
};
void PrintTo(const StoredCase& c, std::ostream* out) { *out << c.name; }

const OptionsFields kOtherWay = {164, 0, -3000, -1200, 0, 1, 0, 1, 2, 1};
const OptionsFields kShipped = {164, 1, -1500, -500, 1, 0, 1, 1, 1, 1};
const std::vector<int> kOtherWayChecked = {IDC_MULTI_PLAYER, IDC_SOUND_OFF, IDC_WINDOW, IDC_RES_16BIT,
                                           IDC_DETAIL_QUALITY, IDC_MIPMAP_ON, IDC_PARTICLES_HIGH};
const std::vector<int> kShippedChecked = {IDC_SINGLE_PLAYER, IDC_SOUND_ON, IDC_FULL_SCREEN, IDC_RES_32BIT,
                                          IDC_DETAIL_QUALITY, IDC_MIPMAP_ON, IDC_PARTICLES_MEDIUM};

const StoredCase kStoredCases[] = {
    {"OptionsFileWithEveryChoiceTheOtherWay",
     {{"options.bin", kOtherWay, kRecordSize, false}},
     kOtherWayChecked, -1200, -3000, kOtherWay},
    // Out-of-set values leave their group as the dialog started it (the resolution group
    // with nothing checked), flags other than 1 read as off, volumes are clamped; the save
    // then writes the canonical record.
    {"OptionsFileWithValuesOutsideTheirSets",
     {{"options.bin", {99, 2, 500, -9000, 2, 7, 2, 5, 9, 3}, kRecordSize, true}},
     {IDC_MULTI_PLAYER, IDC_SOUND_OFF, IDC_WINDOW}, -6000, 0, {164, 0, 0, -6000, 0, 0, 0, 0, 0, 0}},
    {"DefaultFileWhenThereIsNoOptionsFile",
     {{"defoptions.bin", kShipped, kRecordSize, false}},
     kShippedChecked, -500, -1500, kShipped},
    {"ShortOptionsFileFallsBackToTheDefaultFile",
     {{"options.bin", kOtherWay, 100, false}, {"defoptions.bin", kShipped, kRecordSize, false}},
     kShippedChecked, -500, -1500, kShipped},
    {"ShortOptionsFileWithoutDefaultFileGivesTheFirstStartState",
     {{"options.bin", kOtherWay, 60, false}},
     kFirstStartChecked, 0, 0, kFirstStartFields},
    {"EmptyOptionsFileAndShortDefaultFileGiveTheFirstStartState",
     {{"options.bin", kOtherWay, 0, false}, {"defoptions.bin", kShipped, 163, false}},
     kFirstStartChecked, 0, 0, kFirstStartFields},
    {"TheReadBackFallbackIsNotTheDialogsDefault",
     {{"defoptios.bin", kOtherWay, kRecordSize, false}},
     kFirstStartChecked, 0, 0, kFirstStartFields},
};

class StoredOptionsTest : public OptionsDialogTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredOptionsTest, SetTheControlsAndStartSavesWhatTheControlsShow)
{
    const StoredCase& c = GetParam();
    for (const StoredFile& file : c.files) {
        std::vector<unsigned char> bytes = RecordBytes(file.fields);
        if (file.junkInReserved) {
            std::fill(bytes.begin(), bytes.begin() + kFieldsOffset, 0xAB);
            std::fill(bytes.begin() + kFieldsOffset + 40, bytes.end(), 0xAB);
        }
        bytes.resize(file.size);
        WriteFileBytes(folder_.File(file.name), bytes.data(), bytes.size());
    }
    Open();

    ExpectChecked(dialog_, c.checked);
    EXPECT_EQ(c.soundSlider, SliderPosition(IDC_SOUND_SLIDER));
    EXPECT_EQ(c.musicSlider, SliderPosition(IDC_MUSIC_SLIDER));

    Click(IDC_START);

    std::vector<unsigned char> written = OptionsBytes();
    EXPECT_EQ(RecordBytes(c.saved), written) << Describe(FieldsOf(written));
    std::string ran = WaitForRun(ProgramFor(c.saved));
    EXPECT_NE(std::string::npos, ran.find("options.bin=164\n")) << ran;
    EXPECT_FALSE(FileExists(folder_.File(std::string(OtherProgram(ProgramFor(c.saved))) + ".ran")));
    EXPECT_TRUE(QuitPosted());
}

INSTANTIATE_TEST_SUITE_P(Launcher, StoredOptionsTest, ::testing::ValuesIn(kStoredCases),
                         [](const ::testing::TestParamInfo<StoredCase>& info) { return info.param.name; });

TEST_F(OptionsDialogTest, EveryControlReachesTheOptionsFile)
{
    Open();
    Click(IDC_MULTI_PLAYER);
    SelectPage(1);
    // SOUND ON/OFF and FULL-SCREEN/WINDOW share one radio group in the template; only the
    // buttons of the page on show take part, so one choice never clears the other.
    Click(IDC_WINDOW);
    EXPECT_TRUE(Checked(IDC_SOUND_ON));
    Click(IDC_RES_16BIT);
    Click(IDC_DETAIL_QUALITY);
    Click(IDC_MIPMAP_OFF);
    Click(IDC_PARTICLES_HIGH);
    SelectPage(2);
    Click(IDC_SOUND_OFF);
    EXPECT_TRUE(Checked(IDC_WINDOW));
    SendMessageA(Control(IDC_SOUND_SLIDER), TBM_SETPOS, TRUE, -2500);
    SendMessageA(Control(IDC_MUSIC_SLIDER), TBM_SETPOS, TRUE, -4000);
    ExpectChecked(dialog_, {IDC_MULTI_PLAYER, IDC_WINDOW, IDC_RES_16BIT, IDC_DETAIL_QUALITY, IDC_MIPMAP_OFF,
                            IDC_PARTICLES_HIGH, IDC_SOUND_OFF});

    Click(IDC_START);

    const OptionsFields expected = {164, 0, -4000, -2500, 0, 1, 0, 1, 2, 0};
    std::vector<unsigned char> written = OptionsBytes();
    EXPECT_EQ(RecordBytes(expected), written) << Describe(FieldsOf(written));
    std::string ran = WaitForRun("Hollagrin.exe");
    EXPECT_NE(std::string::npos, ran.find("options.bin=164\n")) << ran;
    EXPECT_TRUE(QuitPosted());
}

struct ModeCase {
    const char* name;
    int button;
    const char* program;
    uint32_t singlePlayer;
};
void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.name; }

class GameModeTest : public OptionsDialogTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(GameModeTest, StartRunsTheProgramOfTheChosenMode)
{
    const ModeCase& c = GetParam();
    Open();
    Click(c.button);
    Click(IDC_START);

    std::string ran = WaitForRun(c.program);
    EXPECT_NE(std::string::npos, ran.find("options.bin=164\n")) << ran;
    EXPECT_FALSE(FileExists(folder_.File(std::string(OtherProgram(c.program)) + ".ran")));
    EXPECT_EQ(c.singlePlayer, FieldsOf(OptionsBytes()).bSinglePlayer);
    EXPECT_FALSE(IsWindowVisible(dialog_));
    EXPECT_TRUE(QuitPosted());
}

const ModeCase kModeCases[] = {
    {"SinglePlayer", IDC_SINGLE_PLAYER, "quarv.exe", 1},
    {"MultiPlayer", IDC_MULTI_PLAYER, "Hollagrin.exe", 0},
};
INSTANTIATE_TEST_SUITE_P(Launcher, GameModeTest, ::testing::ValuesIn(kModeCases),
                         [](const ::testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

struct LeaveCase {
    const char* name;
    void (*leave)(HWND dialog);
};
void PrintTo(const LeaveCase& c, std::ostream* out) { *out << c.name; }

class LeaveWithoutSavingTest : public OptionsDialogTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveWithoutSavingTest, LeavesTheOptionsFileUntouched)
{
    WriteOptions("options.bin", kOtherWay);
    Open();
    Click(IDC_SINGLE_PLAYER);
    SelectPage(1);
    Click(IDC_FULL_SCREEN);
    SendMessageA(Control(IDC_SOUND_SLIDER), TBM_SETPOS, TRUE, -100);

    GetParam().leave(dialog_);

    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(0u, pump_.quitCode);
    EXPECT_FALSE(IsWindowVisible(dialog_));
    EXPECT_EQ(RecordBytes(kOtherWay), OptionsBytes());
    EXPECT_FALSE(FileExists(folder_.File("options.bin.tmp")));
}

const LeaveCase kLeaveCases[] = {
    {"QuitButton", [](HWND dialog) { SendMessageA(GetDlgItem(dialog, IDC_QUIT), BM_CLICK, 0, 0); }},
    {"CloseBox", [](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
};
INSTANTIATE_TEST_SUITE_P(Launcher, LeaveWithoutSavingTest, ::testing::ValuesIn(kLeaveCases),
                         [](const ::testing::TestParamInfo<LeaveCase>& info) { return info.param.name; });

TEST_F(OptionsDialogTest, EachTabShowsExactlyItsPageControls)
{
    Open();
    for (int page : {1, 2, 0, 2, 1, 0}) {
        SCOPED_TRACE("page " + std::to_string(page));
        SelectPage(page);
        EXPECT_EQ(page, SendMessageA(Control(IDC_TAB), TCM_GETCURSEL, 0, 0));
        for (int shown = 0; shown < 3; ++shown)
            for (int id : kPageControls[shown])
                EXPECT_EQ(shown == page, Visible(id)) << "control " << id;
        for (int id : {IDC_START, IDC_QUIT, IDC_TAB})
            EXPECT_TRUE(Visible(id)) << "control " << id;
    }

    // An index of no page hides every page control.
    for (int page : {3, -1}) {
        ShowOptionsPage(dialog_, page);
        for (const std::vector<int>& controls : kPageControls)
            for (int id : controls)
                EXPECT_FALSE(Visible(id)) << "page " << page << ", control " << id;
    }
}

TEST_F(OptionsDialogTest, MusicButtonTogglesBetweenTestAndStop)
{
    Open();
    SelectPage(2);
    const char* expected[] = {"STOP", "TEST", "STOP"};
    for (int press = 0; press < 3; ++press) {
        Click(IDC_MUSIC_TEST);
        EXPECT_EQ(expected[press], Text(IDC_MUSIC_TEST)) << "press " << press + 1;
        EXPECT_EQ(press % 2 == 0, g_bMusicTestPlaying != FALSE) << "press " << press + 1;
    }
}

TEST_F(OptionsDialogTest, DestroyingTheDialogForgetsItAndQuits)
{
    Open();
    DestroyWindow(dialog_);
    EXPECT_EQ(nullptr, g_hOptionsDlg);
    EXPECT_TRUE(QuitPosted());
    EXPECT_FALSE(FileExists(folder_.File("options.bin")));
}

struct SaveFailureCase {
    const char* name;
    const char* blockedBy;  // a folder of this name stands where a file must go
    bool hadOptionsFile;
};
void PrintTo(const SaveFailureCase& c, std::ostream* out) { *out << c.name; }

class SaveFailureTest : public OptionsDialogTest, public ::testing::WithParamInterface<SaveFailureCase> {};

TEST_P(SaveFailureTest, SaysSoStartsNothingAndKeepsTheDialogOpen)
{
    const SaveFailureCase& c = GetParam();
    if (c.hadOptionsFile)
        WriteOptions("options.bin", kShipped);
    ASSERT_TRUE(CreateDirectoryA(folder_.File(c.blockedBy).c_str(), nullptr));
    Open();
    Click(IDC_MULTI_PLAYER);

    {
        MessageBoxWatcher watcher(IDOK);
        Click(IDC_START);  // returns once the watcher has answered the box
        std::vector<SeenMessageBox> boxes = watcher.Seen();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("OPTIONS NOT SAVED", boxes[0].caption);
        EXPECT_NE(std::string::npos, boxes[0].text.find("could not be saved")) << boxes[0].text;
        EXPECT_NE(std::string::npos, boxes[0].text.find("options.bin")) << boxes[0].text;
        EXPECT_EQ(dialog_, boxes[0].owner);
    }

    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_FALSE(QuitPosted());
    EXPECT_TRUE(Checked(IDC_MULTI_PLAYER));
    if (c.hadOptionsFile) {
        EXPECT_EQ(RecordBytes(kShipped), OptionsBytes());
    }
    if (std::string(c.blockedBy) != "options.bin.tmp") {
        EXPECT_FALSE(FileExists(folder_.File("options.bin.tmp"))) << "a temporary file was left behind";
    }

    // Once the folder can take the file, START goes through with the same choices.
    ASSERT_TRUE(RemoveDirectoryA(folder_.File(c.blockedBy).c_str()));
    Click(IDC_START);
    std::string ran = WaitForRun("Hollagrin.exe");
    EXPECT_NE(std::string::npos, ran.find("options.bin=164\n")) << ran;
    EXPECT_EQ(0u, FieldsOf(OptionsBytes()).bSinglePlayer);
    EXPECT_TRUE(QuitPosted());
}

const SaveFailureCase kSaveFailureCases[] = {
    {"TemporaryFileCannotBeCreated", "options.bin.tmp", true},
    {"OptionsFileCannotBeReplaced", "options.bin", false},
};
INSTANTIATE_TEST_SUITE_P(Launcher, SaveFailureTest, ::testing::ValuesIn(kSaveFailureCases),
                         [](const ::testing::TestParamInfo<SaveFailureCase>& info) { return info.param.name; });
