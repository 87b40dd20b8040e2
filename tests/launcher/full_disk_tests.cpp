// START on a full disk: the save must fail as a whole, keep the player's previous options
// file and leave no partial file behind. run_with_full_disk.sh gives the test a folder on a
// small file system of its own, which the test fills before it presses START.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "message_box_watcher.h"
#include "options_dialog.h"
#include "resource.h"

namespace {

// Writes until the file system takes no more; returns the bytes written.
size_t FillDisk(const char* name)
{
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<char> chunk(4096, 'x');
    size_t total = 0;
    for (;;) {
        DWORD written = 0;
        if (!WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) || written == 0)
            break;
        total += written;
    }
    for (DWORD written = 1; written;) {
        if (!WriteFile(file, chunk.data(), 1, &written, nullptr))
            break;
    }
    CloseHandle(file);
    return total;
}

} // namespace

TEST(FullDisk, StartSaysTheOptionsCouldNotBeSavedAndKeepsTheOldFile)
{
    const char* folder = std::getenv("QUARV_FULL_DISK_FOLDER");
    ASSERT_NE(nullptr, folder) << "run through run_with_full_disk.sh";
    ASSERT_TRUE(SetCurrentDirectoryA(folder));
    ASSERT_TRUE(CopyFileOver(StandinGamePath(), "quarv.exe"));
    ASSERT_TRUE(CopyFileOver(StandinGamePath(), "Hollagrin.exe"));
    const OptionsFields previous = {164, 1, -1500, -500, 1, 0, 1, 1, 1, 1};
    std::vector<unsigned char> previousBytes = RecordBytes(previous);
    WriteFileBytes("options.bin", previousBytes.data(), previousBytes.size());
    ASSERT_EQ(previousBytes, ReadFileBytes("options.bin"));

    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr,
                                     OptionsDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
    g_hOptionsDlg = dialog;
    ShowWindow(dialog, SW_SHOWNORMAL);
    SendMessageA(GetDlgItem(dialog, IDC_MULTI_PLAYER), BM_CLICK, 0, 0);

    ASSERT_GT(FillDisk("filler"), 0u);
    std::vector<SeenMessageBox> boxes;
    {
        MessageBoxWatcher watcher(IDOK);
        SendMessageA(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
        boxes = watcher.Seen();
    }
    MessagePump pump;
    pump.Run();

    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("OPTIONS NOT SAVED", boxes[0].caption);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(pump.quitSeen);
    EXPECT_EQ(previousBytes, ReadFileBytes("options.bin"));
    EXPECT_FALSE(FileExists("options.bin.tmp")) << "the partial file was left behind";

    // With room again, the same choices are saved.
    ASSERT_TRUE(DeleteFileA("filler"));
    SendMessageA(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
    pump.Run();
    EXPECT_TRUE(pump.quitSeen);
    EXPECT_EQ(0u, FieldsOf(ReadFileBytes("options.bin")).bSinglePlayer);
    EXPECT_EQ(164u, ReadFileBytes("options.bin").size());
    EXPECT_TRUE(WaitForFile("Hollagrin.exe.ran", 10000));

    DestroyWindow(dialog);
    pump.Run();
    SetCurrentDirectoryA("C:\\");
}
