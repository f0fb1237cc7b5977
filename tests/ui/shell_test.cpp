// The application shell around the main dialog: the system menu with the
// About box, painting while minimised, the drag icon, the log lines posted
// from another thread, and the end of the program.
#include <cstring>

#include "app/about_dlg.h"
#include "tests/ui/dialog_fixture.h"

namespace {

// A log line as the completion worker posts it: a heap copy that the
// dialog owns once posted.
void PostLogLineFromAnotherThread(HWND dialog, const char* line) {
    std::thread worker([dialog, line] {
        char* text = new char[std::strlen(line) + 1];
        std::strcpy(text, line);
        CWnd target;
        target.m_hWnd = dialog;
        ASSERT_TRUE(target.PostMessage(WM_LOG_TEXT, kLogTextWParam, reinterpret_cast<LPARAM>(text)));
        target.m_hWnd = nullptr;
    });
    worker.join();
}

class ShellTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        PlugStick('E');
        ASSERT_NO_FATAL_FAILURE(StartProgram());
    }
};

TEST_F(ShellTest, SystemMenuEndsWithTheAboutEntry) {
    const std::vector<headless::MenuItem> menu = headless::SystemMenuItems(window_);
    ASSERT_GE(menu.size(), 3u);
    const headless::MenuItem& separator = menu[menu.size() - 2];
    const headless::MenuItem& about = menu.back();
    EXPECT_EQ(separator.flags & MF_SEPARATOR, MF_SEPARATOR);
    EXPECT_EQ(about.flags & MF_SEPARATOR, 0u);
    EXPECT_EQ(about.commandId, 0x0010u);
    EXPECT_EQ(about.text, "關於 MakeVORNDisk(&A)...");
}

TEST_F(ShellTest, AboutEntryOpensTheAboutBoxWhoseOkClosesIt) {
    HWND seenAbout = nullptr;
    std::string aboutVersionText;
    bool mainDialogDisabled = false;
    op_.WhenDialogOpens(IDD_ABOUTBOX, [&](HWND about) {
        seenAbout = about;
        mainDialogDisabled = !headless::IsWindowEnabled(window_);
        EXPECT_TRUE(headless::ClickButton(about, IDOK));
    });
    ASSERT_TRUE(headless::ChooseSystemMenuItem(window_, headless::SystemMenuItems(window_).back().commandId));
    WaitIdle();

    const std::vector<headless::ScriptedOperator::Dialog> opened = op_.Dialogs();
    ASSERT_EQ(opened.size(), 2u);  // the main dialog, then the About box
    EXPECT_EQ(opened[0].templateId, IDD_MAKEVORNDISK_DIALOG);
    const headless::ScriptedOperator::Dialog& about = opened[1];
    EXPECT_EQ(about.templateId, IDD_ABOUTBOX);
    EXPECT_EQ(about.caption, "關於 MakeVORNDisk");
    EXPECT_TRUE(about.closed);
    EXPECT_EQ(about.result, IDOK);
    EXPECT_TRUE(mainDialogDisabled);
    EXPECT_FALSE(headless::IsWindow(seenAbout));
    EXPECT_TRUE(headless::IsWindowEnabled(window_));
    EXPECT_TRUE(headless::IsWindow(window_));
}

TEST_F(ShellTest, AboutBoxShowsIconNameAndOk) {
    std::vector<std::string> texts;
    UINT iconId = 0;
    op_.WhenDialogOpens(IDD_ABOUTBOX, [&](HWND about) {
        iconId = headless::StaticIconId(headless::DialogItem(about, -1));
        texts.push_back(headless::WindowText(headless::DialogItem(about, IDOK)));
        headless::ClickButton(about, IDOK);
    });
    ASSERT_TRUE(headless::ChooseSystemMenuItem(window_, IDM_ABOUTBOX));
    WaitIdle();
    EXPECT_EQ(iconId, IDR_MAINFRAME);
    EXPECT_EQ(texts, std::vector<std::string>{"確定"});
}

TEST_F(ShellTest, PostedLogLinesReachTheLogAlsoWhileTheAboutBoxIsOpen) {
    PostLogLineFromAnotherThread(window_, "Done. Total time spent = 83.5 seconds \r");
    WaitIdle();
    op_.WhenDialogOpens(IDD_ABOUTBOX, [&](HWND about) {
        PostLogLineFromAnotherThread(window_, "second line");
        headless::ClickButton(about, IDOK);
    });
    ASSERT_TRUE(headless::ChooseSystemMenuItem(window_, IDM_ABOUTBOX));
    WaitIdle();

    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Done. Total time spent = 83.5 seconds \r\n");
    EXPECT_EQ(lines[3], "second line\n");
}

TEST_F(ShellTest, OtherSystemCommandsKeepTheirDefaultAndCloseEndsTheProgram) {
    ASSERT_TRUE(headless::ChooseSystemMenuItem(window_, SC_MOVE));
    WaitIdle();
    EXPECT_TRUE(headless::IsWindow(window_));
    EXPECT_EQ(op_.Dialogs().size(), 1u);

    HWND dialog = window_;
    EXPECT_FALSE(CloseProgram());  // InitInstance ends the program
    EXPECT_FALSE(headless::IsWindow(dialog));
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
}

TEST_F(ShellTest, MinimisedDialogDrawsItsIconCentred) {
    struct Case {
        int width, height, x, y;
    };
    // (client - icon + 1) / 2, truncated toward zero.
    for (const Case& sized : {Case{36, 36, 2, 2}, Case{37, 40, 3, 4}, Case{16, 17, -7, -7}}) {
        headless::SetIconic(window_, true);
        headless::SetClientSize(window_, sized.width, sized.height);
        CWnd target;
        target.m_hWnd = window_;
        target.PostMessage(WM_PAINT);
        target.m_hWnd = nullptr;
        WaitIdle();
        const std::vector<headless::DrawnIcon> drawn = headless::DrawnIcons(window_);
        ASSERT_FALSE(drawn.empty());
        EXPECT_EQ(drawn.back().x, sized.x) << sized.width;
        EXPECT_EQ(drawn.back().y, sized.y) << sized.height;
        EXPECT_EQ(drawn.back().icon, Dialog().m_hIcon);
    }
    // Not minimised: the system paints, no icon is drawn.
    const std::size_t drawnBefore = headless::DrawnIcons(window_).size();
    headless::SetIconic(window_, false);
    CWnd target;
    target.m_hWnd = window_;
    target.PostMessage(WM_PAINT);
    WaitIdle();
    EXPECT_EQ(headless::DrawnIcons(window_).size(), drawnBefore);
    // The drag icon is the application icon.
    EXPECT_EQ(reinterpret_cast<HICON>(target.SendMessage(WM_QUERYDRAGICON)), Dialog().m_hIcon);
    target.m_hWnd = nullptr;
}

}  // namespace
