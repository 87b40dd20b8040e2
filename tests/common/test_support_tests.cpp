// Checks the test harness itself against the real system: message boxes are found,
// read and answered; the stand-in game leaves its record in its working folder.
#include <gtest/gtest.h>

#include "message_box_watcher.h"
#include "test_support.h"

TEST(MessageBoxWatcher, ReadsAndAnswersBoxesOfThisProcess)
{
    MessageBoxWatcher watcher(IDNO);
    int answer = MessageBoxA(nullptr, "Do you want to download it?", "A CAPTION", MB_YESNO);
    EXPECT_EQ(IDNO, answer);
    ASSERT_EQ(1u, watcher.Seen().size());
    EXPECT_EQ("A CAPTION", watcher.Seen()[0].caption);
    EXPECT_EQ("Do you want to download it?", watcher.Seen()[0].text);
    EXPECT_TRUE(watcher.Seen()[0].hasYes);
    EXPECT_FALSE(watcher.Seen()[0].hasIcon);

    // A box without the chosen button gets its OK button.
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "plain", nullptr, MB_OK | MB_ICONERROR));
    ASSERT_EQ(2u, watcher.Seen().size());
    EXPECT_EQ("plain", watcher.Seen()[1].text);
    EXPECT_FALSE(watcher.Seen()[1].hasYes);
    EXPECT_TRUE(watcher.Seen()[1].hasIcon);
}

TEST(StandinGame, RecordsWhatItFoundInItsFolder)
{
    TempFolder folder;
    ASSERT_TRUE(CopyFileOver(StandinGamePath(), folder.File("quarv.exe")));
    WriteFileBytes(folder.File("options.bin"), "12345", 5);

    ASSERT_GT(WinExec("quarv.exe", SW_SHOW), 31u);
    ASSERT_TRUE(WaitForFile(folder.File("quarv.exe.ran"), 10000));

    std::vector<unsigned char> record = ReadFileBytes(folder.File("quarv.exe.ran"));
    std::string text(record.begin(), record.end());
    EXPECT_NE(std::string::npos, text.find("program=quarv.exe\n")) << text;
    EXPECT_NE(std::string::npos, text.find("options.bin=5\n")) << text;
    EXPECT_NE(std::string::npos, text.find("netoptions.bin=missing\n")) << text;
}
