#include "dialog_fixture.h"

#include <commctrl.h>

#include "options_dialog.h"
#include "resource.h"

void MessagePump::Run()
{
    MSG message = {};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitSeen = true;
            quitCode = message.wParam;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void OptionsDialogTest::SetUp()
{
    g_bMusicTestPlaying = FALSE;
    ASSERT_TRUE(CopyFileOver(StandinGamePath(), folder_.File("quarv.exe")));
    ASSERT_TRUE(CopyFileOver(StandinGamePath(), folder_.File("Hollagrin.exe")));
}

void OptionsDialogTest::TearDown()
{
    if (dialog_ && IsWindow(dialog_))
        DestroyWindow(dialog_);
    g_hOptionsDlg = nullptr;
    MessagePump rest;
    rest.Run();
}

void OptionsDialogTest::Open()
{
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_OPTIONS), nullptr,
                                 OptionsDialogProc, 0);
    ASSERT_NE(nullptr, dialog_);
    g_hOptionsDlg = dialog_;
    ShowWindow(dialog_, SW_SHOWNORMAL);
    pump_.Run();
}

void OptionsDialogTest::WriteOptions(const std::string& name, const OptionsFields& fields)
{
    std::vector<unsigned char> bytes = RecordBytes(fields);
    WriteFileBytes(folder_.File(name), bytes.data(), bytes.size());
}

LONG OptionsDialogTest::SliderPosition(int id) const
{
    return static_cast<LONG>(SendMessageA(Control(id), TBM_GETPOS, 0, 0));
}

std::string OptionsDialogTest::Text(int id) const
{
    char text[256] = {};
    GetWindowTextA(Control(id), text, sizeof text);
    return text;
}

void OptionsDialogTest::SelectPage(int page)
{
    SendMessageA(Control(IDC_TAB), TCM_SETCURFOCUS, page, 0);
    pump_.Run();
}

bool OptionsDialogTest::QuitPosted()
{
    pump_.Run();
    return pump_.quitSeen;
}

std::string OptionsDialogTest::WaitForRun(const std::string& program)
{
    std::string record = folder_.File(program + ".ran");
    if (!WaitForFile(record, 10000))
        return "";
    std::vector<unsigned char> bytes = ReadFileBytes(record);
    return std::string(bytes.begin(), bytes.end());
}
