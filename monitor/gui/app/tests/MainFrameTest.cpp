// The main frame as the program runs it, in-process: its window, bars and
// notification icon (through the framework's seam on the notification call),
// hiding to the tray, the exit question and the stop command, blinking, the
// update rules of Clear Log and Copy, help, and the start of the application
// object itself.
#include "AboutDlg.h"
#include "AppTesting.h"
#include "FrameworkTesting.h"
#include "gui/DispatchManager.h"
#include "gui/ThreadDispatcher.h"
#include "InstanceControl.h"
#include "LogPeer.h"
#include "MainFrame.h"
#include "MainIconId.h"
#include "MonitorSettings.h"
#include "MonitorApp.h"
#include "PathRoutines.h"
#include "ProductVersion.h"
#include "PropertySheet.h"
#include "QuelIds.h"
#include "Shell.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct TrayRequest {
    DWORD message;
    NOTIFYICONDATAA data;
};

// Every notification-area request, answered as a shell with a tray would.
class TrayLog {
public:
    TrayLog()
        : seam_(SetNotifyIconAnswer, [this](DWORD message, const NOTIFYICONDATAA& data) {
              requests.push_back({message, data});
              return TRUE;
          })
    {
    }
    std::vector<TrayRequest> requests;
    std::vector<DWORD> Messages() const
    {
        std::vector<DWORD> messages;
        for (const TrayRequest& r : requests)
            messages.push_back(r.message);
        return messages;
    }

private:
    ScopedSeam<NotifyIconAnswer> seam_;
};

// Whether a command's menu item or button would be enabled now.
bool IsEnabled(CFrameWnd* frame, UINT id)
{
    struct Probe : CCmdUI {
        BOOL enabled = FALSE;
        void Enable(BOOL on) override
        {
            enabled = on;
            CCmdUI::Enable(on);
        }
    } probe;
    probe.m_nID = id;
    probe.DoUpdate(frame, true);
    return probe.enabled != FALSE;
}

// Calls that the dispatcher holds for this thread until its loop runs.
uint32_t CallsQueuedForThisThread()
{
    ThreadDispatcher* dispatcher = ThreadDispatcherLockIfServing(DispatchLookup(GetCurrentThreadId()));
    if (!dispatcher)
        return 0;
    const uint32_t count = dispatcher->queue.count;
    LeaveCriticalSection(&dispatcher->lock);
    return count;
}

// The application object (not started) and the core, as a frame needs them.
class AppTest : public GuiCoreTest {
protected:
    void SetUp() override
    {
        GuiCoreTest::SetUp();
        PrepareApplication(app, GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    }
    void TearDown() override
    {
        PumpPending();
        DispatchManagerDiscardAll();  // what the link still queued for this thread
        GuiCoreTest::TearDown();
    }

    TrayLog tray;  // before any frame: the icon is added in the frame's creation
    CMonitorApp app;
};

class MainFrameTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        frame = new CMainFrame;
        app.m_pMainWnd = frame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
        window = frame->m_hWnd;
        frame->ShowWindow(SW_RESTORE);
        frame->MoveWindow(CRect(0, 0, 640, 480));
        PumpPending();
    }
    void TearDown() override
    {
        if (IsWindow(window))
            frame->DestroyWindow();
        AppTest::TearDown();
    }
    void Command(UINT id) { frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Tray(LPARAM mouseMessage, WPARAM id = ID_TRAY_ICON)
    {
        frame->SendMessage(WM_TRAY_NOTIFY, id, mouseMessage);
    }
    HICON TrayIconNow() const
    {
        for (auto r = tray.requests.rbegin(); r != tray.requests.rend(); ++r)
            if (r->data.uFlags & NIF_ICON)
                return r->data.hIcon;
        return nullptr;
    }

    CMainFrame* frame = nullptr;
    HWND window = nullptr;
};

TEST_F(MainFrameTest, TheWindowCarriesTitleClassBarsAndTheLogViewAsTheProgramDefinesThem)
{
    EXPECT_EQ(TextOf(window), std::string("Pelko Monitor - V") + QUEL_PRODUCT_VERSION_TEXT);
    EXPECT_TRUE(IsMainFrameWindow(window));
    EXPECT_EQ(frame->GetExStyle() & WS_EX_CLIENTEDGE, 0u);

    CRichEditCtrl& view = frame->LogView();
    EXPECT_EQ(view.GetDlgCtrlID(), 0xE900);
    EXPECT_EQ(view.GetStyle() & 0x502028C4, 0x502028C4u);
    EXPECT_NE(view.GetExStyle() & WS_EX_CLIENTEDGE, 0u);

    EXPECT_EQ(frame->StatusBar().GetDlgCtrlID(), 59393);
    EXPECT_EQ(frame->StatusBar().GetCount(), 5);
    CToolBar& toolbar = frame->ToolBar();
    ASSERT_EQ(toolbar.GetCount(), 5);
    const UINT buttons[] = {ID_CLEAR_LOG, ID_SEPARATOR, ID_RXTX_DATA, ID_PREFERENCES, ID_EDIT_COPY};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(toolbar.GetItemID(i), buttons[i]) << i;
    EXPECT_EQ(toolbar.GetDockSide(), DockSide::Top);
    EXPECT_EQ(toolbar.GetDockAlignments(), DWORD(CBRS_ALIGN_ANY));
    EXPECT_EQ(frame->GetDockAlignments(), DWORD(CBRS_ALIGN_ANY));

    for (UINT id : {UINT(ID_SHOW_MONITOR), UINT(ID_APP_EXIT), UINT(ID_MONITOR_HELP), UINT(ID_PREFERENCES),
                    UINT(ID_APP_ABOUT), UINT(ID_HELP_ABOUT), UINT(ID_RXTX_DATA)})
        EXPECT_TRUE(IsEnabled(frame, id)) << id;
}

TEST_F(MainFrameTest, TheTrayIconIsAddedWithItsTipAndCallbackAndRemovedWithTheWindow)
{
    ASSERT_FALSE(tray.requests.empty());
    const TrayRequest& added = tray.requests.front();
    EXPECT_EQ(added.message, DWORD(NIM_ADD));
    EXPECT_EQ(added.data.cbSize, 504u);
    EXPECT_EQ(added.data.hWnd, window);
    EXPECT_EQ(added.data.uID, 1u);
    EXPECT_EQ(added.data.uFlags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(added.data.uCallbackMessage, UINT(WM_USER + 1));
    EXPECT_STREQ(added.data.szTip, "Virtual Serial Port Monitor");
    EXPECT_NE(added.data.hIcon, nullptr);
    EXPECT_TRUE(frame->TrayIcon().IsPresent());

    frame->DestroyWindow();
    ASSERT_EQ(tray.requests.back().message, DWORD(NIM_DELETE));
    EXPECT_EQ(tray.requests.back().data.uID, 1u);
    EXPECT_EQ(tray.requests.back().data.hWnd, window);
}

TEST_F(MainFrameTest, EscAndMinimisingHideTheWindowAndTheTrayIconsDoubleClickBringsItBack)
{
    PostMessageA(frame->LogView().m_hWnd, WM_KEYDOWN, VK_ESCAPE, 1);
    PumpPending();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsIconic(window));

    Tray(WM_LBUTTONDBLCLK, 2);  // another icon's message
    EXPECT_FALSE(IsWindowVisible(window));
    Tray(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));

    frame->ShowWindow(SW_MINIMIZE);
    EXPECT_FALSE(IsWindowVisible(window));
    Command(ID_SHOW_MONITOR);  // the tray menu's default item, through the application
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
}

TEST_F(MainFrameTest, ClosingAsksAndOnlyOkEndsTheProgram)
{
    {
        MessageBoxLog boxes(IDCANCEL);
        Command(ID_APP_EXIT);  // the application posts WM_CLOSE
        PumpPending();
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0],
                  "Do you really want to exit Pelko monitor?\nYou will not be able to receive notifications on "
                  "errors and events on Pelko Virtual Devices.");
        EXPECT_EQ(boxes.types[0], UINT(MB_OKCANCEL | MB_ICONQUESTION));
        EXPECT_TRUE(IsWindow(window));
    }
    MessageBoxLog boxes(IDOK);
    frame->SendMessage(WM_CLOSE);
    EXPECT_FALSE(IsWindow(window));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(MainFrameTest, TheStopCommandEndsTheProgramWithoutAQuestion)
{
    MessageBoxLog boxes(IDCANCEL);
    frame->SendMessage(WM_COMMAND, ID_STOP_INSTANCE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(MainFrameTest, ClearLogAndCopyAreEnabledByTheLogsTextAndSelection)
{
    CRichEditCtrl& view = frame->LogView();
    view.SetWindowText("");
    EXPECT_FALSE(IsEnabled(frame, ID_CLEAR_LOG));
    EXPECT_FALSE(IsEnabled(frame, ID_EDIT_COPY));

    view.SetWindowText("first line\r\nsecond line");
    view.SetSel(0, 0);
    EXPECT_TRUE(IsEnabled(frame, ID_CLEAR_LOG));
    EXPECT_FALSE(IsEnabled(frame, ID_EDIT_COPY));

    view.SetSel(0, 5);
    EXPECT_TRUE(IsEnabled(frame, ID_EDIT_COPY));
    Command(ID_EDIT_COPY);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    EXPECT_STREQ(data ? static_cast<const char*>(GlobalLock(data)) : "", "first");
    if (data)
        GlobalUnlock(data);
    CloseClipboard();

    Command(ID_CLEAR_LOG);
    EXPECT_EQ(view.GetTextLength(), 0);
    EXPECT_FALSE(IsEnabled(frame, ID_CLEAR_LOG));
}

TEST_F(MainFrameTest, TheIconBlinksOnAttentionOnlyWhileTheUserWorksElsewhere)
{
    const HICON normal = tray.requests.front().data.hIcon;
    frame->LogView().SetFocus();
    frame->SendMessage(WM_ATTENTION);
    EXPECT_FALSE(KillTimer(window, ID_BLINK_TIMER)) << "no blinking while the frame has the focus";

    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, RegisterWndClass(0), "Another window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               CRect(700, 0, 900, 200), nullptr, 0));
    other.SetFocus();
    frame->SendMessage(WM_ATTENTION);
    frame->SendMessage(WM_TIMER, ID_BLINK_TIMER);
    const HICON partner = TrayIconNow();
    EXPECT_NE(partner, normal);
    EXPECT_NE(partner, nullptr);
    frame->SendMessage(WM_TIMER, ID_BLINK_TIMER);
    EXPECT_EQ(TrayIconNow(), normal);
    frame->SendMessage(WM_TIMER, ID_BLINK_TIMER);
    EXPECT_EQ(TrayIconNow(), partner);

    frame->SetFocus();  // restoring the window focuses it: the blinking stops
    EXPECT_EQ(TrayIconNow(), normal);
    EXPECT_FALSE(KillTimer(window, ID_BLINK_TIMER));
    EXPECT_EQ(GetFocus(), frame->LogView().m_hWnd);
    other.DestroyWindow();
}

TEST_F(MainFrameTest, HelpComposesTheMonitorsTopic)
{
    HELPINFO help{};
    help.cbSize = sizeof help;
    EXPECT_TRUE(frame->SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&help)));
    EXPECT_EQ(app.LastHelpAddress(), "::/port_monitor.htm") << "no help file: the program was not started";
    app.OpenHelpTopic("pm_hex_dump.htm");
    Command(ID_MONITOR_HELP);
    EXPECT_EQ(app.LastHelpAddress(), "::/port_monitor.htm");
}

// Ends the menu that a test opened once it is up, noting its default item.
struct MenuWatch {
    static MenuWatch* current;
    HMENU menu = nullptr;
    bool seen = false;
    UINT defaultItem = UINT(-1);
    static void CALLBACK Check(HWND, UINT, UINT_PTR id, DWORD)
    {
        if (FindWindowA("#32768", nullptr)) {
            current->seen = true;
            current->defaultItem = GetMenuDefaultItem(current->menu, TRUE, 0);
            KillTimer(nullptr, id);
            EndMenu();
        }
    }
};
MenuWatch* MenuWatch::current = nullptr;

TEST_F(MainFrameTest, ARightClickOnTheTrayIconOpensItsMenuWithTheFirstItemInBold)
{
    MenuWatch watch;
    watch.menu = GetSubMenu(frame->TrayMenu(), 0);
    MenuWatch::current = &watch;
    UINT_PTR timer = SetTimer(nullptr, 0, 100, MenuWatch::Check);
    Tray(WM_RBUTTONDOWN);  // returns when the menu has closed
    KillTimer(nullptr, timer);
    EXPECT_TRUE(watch.seen);
    EXPECT_EQ(watch.defaultItem, 0u);
    MSG posted;
    EXPECT_TRUE(PeekMessageA(&posted, window, WM_NULL, WM_NULL, PM_NOREMOVE));
}

// Deletes the user's settings key at the end, which the Preferences sheet's OK writes.
class SettingsKeyCleanup {
public:
    ~SettingsKeyCleanup()
    {
        SHDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PELKO");  // only when nothing else is left in it
    }
};

bool SettingsKeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

TEST_F(MainFrameTest, PreferencesEditsACopyOfTheSettingsOverTheMainWindowAndOkSavesIt)
{
    ASSERT_FALSE(SettingsKeyExists()) << "the test's user has no settings of its own";
    SettingsKeyCleanup cleanup;
    app.Settings().Autorun = 0;  // no Run value for the test program
    const std::string prefix = app.Settings().MessagePrefix;
    int button = PSBTN_CANCEL;
    std::vector<HWND> owners;
    ScopedSeam<ModalDriver> driver(SetModalDriver, [&](CWnd& modal) {
        auto* sheet = dynamic_cast<CPropertySheet*>(&modal);
        ASSERT_NE(sheet, nullptr);
        owners.push_back(GetWindow(sheet->m_hWnd, GW_OWNER));
        EXPECT_EQ(sheet->GetPageCount(), 2);
        HWND general = sheet->GetActivePage()->m_hWnd;
        EXPECT_EQ(TextOf(GetDlgItem(general, IDC_PREFIX)), prefix);
        SetDlgItemTextA(general, IDC_PREFIX, "%m: ");
        PropSheet_PressButton(sheet->m_hWnd, button);
    });
    Command(ID_PREFERENCES);
    EXPECT_EQ(app.Settings().MessagePrefix, prefix);
    EXPECT_FALSE(SettingsKeyExists());

    button = PSBTN_OK;
    Command(ID_PREFERENCES);
    EXPECT_EQ(app.Settings().MessagePrefix, "%m: ");
    MonitorSettings stored;
    LoadSettingsDefaults(stored);
    EXPECT_TRUE(LoadSettings(stored));
    EXPECT_EQ(stored.MessagePrefix, "%m: ");
    EXPECT_EQ(owners, (std::vector<HWND>{window, window}));
}

TEST_F(MainFrameTest, BothAboutCommandsShowTheAboutBoxOverTheMainWindow)
{
    std::vector<HWND> owners;
    ScopedSeam<ModalDriver> driver(SetModalDriver, [&](CWnd& modal) {
        auto* about = dynamic_cast<CAboutDlg*>(&modal);
        ASSERT_NE(about, nullptr);
        owners.push_back(GetWindow(about->m_hWnd, GW_OWNER));
        EXPECT_EQ(TextOf(about->GetDlgItem(IDC_ABOUT_VERSION)), std::string("Version ") + QUEL_PRODUCT_VERSION_TEXT);
        about->EndDialog(IDOK);
    });
    Command(ID_APP_ABOUT);
    Command(ID_HELP_ABOUT);
    EXPECT_EQ(owners, (std::vector<HWND>{window, window}));
}

TEST_F(MainFrameTest, PreferencesAndAboutOpenedFromTheTrayLieInTheWorkAreaWhileTheWindowIsMinimised)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    SetWindowPos(window, nullptr, work.left, work.bottom - 40, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window, SW_MINIMIZE);  // hides the window: only the tray icon shows
    ModalPlacementLog modals;
    Command(ID_PREFERENCES);
    Command(ID_APP_ABOUT);
    ASSERT_EQ(modals.rects.size(), 2u);
    for (const RECT& rect : modals.rects)
        EXPECT_TRUE(LiesWithin(rect, work)) << rect.left << "," << rect.top << "," << rect.right << ","
                                            << rect.bottom;
}

// A window on a thread of its own that goes a while after it gets the stop command.
class SlowToStopWindow {
public:
    explicit SlowToStopWindow(UINT delayMs) : delayMs_(delayMs), thread_(Run, this) {}
    ~SlowToStopWindow()
    {
        if (HWND w = window_.load())
            PostMessageA(w, WM_CLOSE, 0, 0);
        thread_.join();
    }
    HWND Wait()
    {
        while (!window_.load())
            std::this_thread::yield();
        return window_.load();
    }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<SlowToStopWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA));
        if (message == WM_COMMAND && LOWORD(wParam) == ID_STOP_INSTANCE && self) {
            SetTimer(w, 1, self->delayMs_, nullptr);
            return 0;
        }
        if (message == WM_TIMER || message == WM_CLOSE) {
            DestroyWindow(w);
            return 0;
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcA(w, message, wParam, lParam);
    }
    static void Run(SlowToStopWindow* self)
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QuelSlowToStop";
        RegisterClassA(&wc);
        HWND w = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = w;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        self->window_ = nullptr;
    }
    UINT delayMs_;
    std::atomic<HWND> window_{nullptr};
    std::thread thread_;
};

TEST(InstanceControl, StopWaitsForAWindowThatTakesLongerThanOneWaitToGo)
{
    // Longer than one wait of 500 ms, well within the three.
    SlowToStopWindow slow(800);
    HWND window = slow.Wait();
    EXPECT_TRUE(PostStopAndWait(window));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MainFrameTest, TheMenusAreDrawnWithTheToolbarsImagesAndTheAcceleratorTablesKeys)
{
    HMENU file = GetSubMenu(frame->GetMenu(), 0);
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    CMenuDrawManager& manager = frame->MenuManager();
    struct Expected {
        const char* text;
        int image;
    } items[] = {{"Clea&r Log", 0}, {"&Copy\tCtrl+C", 3}, {"", -1}, {"&Preferences", 2}, {"", -1}, {"E&xit", -1}};
    ASSERT_EQ(GetMenuItemCount(file), 6);
    for (int i = 0; i < 6; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        GetMenuItemInfoA(file, UINT(i), TRUE, &info);
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW) << i;
        MenuItemData* data = manager.OwnItemData(info.dwItemData);
        ASSERT_NE(data, nullptr) << i;
        EXPECT_EQ(data->text, items[i].text) << i;
        EXPECT_EQ(data->image, items[i].image) << i;
    }
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);  // the menu closed
    char text[64] = {};
    GetMenuStringA(file, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Copy\tCtrl+C");
    EXPECT_EQ(manager.ItemDataCount(), 0u);
}

// The frame's windows that are shown (WM_SHOWWINDOW with TRUE) while the watch lives.
class ShowWatch {
public:
    ShowWatch() : hook_(SetWindowsHookExA(WH_CALLWNDPROC, Record, nullptr, GetCurrentThreadId()))
    {
        shown().clear();
    }
    ~ShowWatch() { UnhookWindowsHookEx(hook_); }
    static std::vector<HWND>& shown()
    {
        static std::vector<HWND> windows;
        return windows;
    }

private:
    static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam)
            shown().push_back(call->hwnd);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

using FrameStartTest = AppTest;

TEST_F(FrameStartTest, TheLinkPaneSaysDisconnectedUntilTheFirstConnectAttemptAnswers)
{
    auto* frame = new CMainFrame;
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
    EXPECT_EQ(frame->StatusBar().GetPaneText(1), "DISCONNECTED");
    // The log service does not run here: the pipe is not found.
    EXPECT_TRUE(PumpUntil([&] { return frame->StatusBar().GetPaneText(1) == "CAN'T CONNECT (2)"; }))
        << frame->StatusBar().GetPaneText(1);
    frame->DestroyWindow();
}

TEST_F(FrameStartTest, AFrameThatStartsHiddenOrGoesFromTheTrayIsNeverShownOnTheWay)
{
    ShowWatch watch;
    for (bool shownFirst : {false, true}) {
        SCOPED_TRACE(shownFirst ? "shown, then hidden to the tray" : "started hidden");
        auto* frame = new CMainFrame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
        const HWND window = frame->m_hWnd;
        if (shownFirst) {
            frame->ShowWindow(SW_RESTORE);
            frame->ShowWindow(SW_MINIMIZE);
        } else {
            frame->ShowWindow(SW_HIDE);
        }
        ASSERT_FALSE(IsWindowVisible(window));
        ShowWatch::shown().clear();
        frame->SendMessage(WM_COMMAND, ID_STOP_INSTANCE, 0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_TRUE(ShowWatch::shown().empty()) << "the window came up while it went";
    }
}

// The application object started and ended as the program's entry does.
TEST(MonitorApp, TheFirstInstanceShowsItsWindowAndItsExitTakesEveryWindowAndTheTrayIcon)
{
    TrayLog tray;
    CMonitorApp app;
    PrepareApplication(app, GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    ASSERT_NE(frame, nullptr);
    const HWND window = frame->m_hWnd;
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(MainIconId(), UINT(IDI_MAIN_NT5)) << "Wine reports Windows NT 6.1";
    {
        CSharedMemory region;
        ASSERT_TRUE(region.SharedMemoryOpen(kInstanceRegionName));
        EXPECT_EQ(StoredMainWindow(region), window);
    }
    EXPECT_EQ(app.OpenHelpTopic("port_monitor.htm"), ModuleDir(ModulePath(nullptr)) + "mirk.chm::/port_monitor.htm");
    ASSERT_FALSE(tray.requests.empty());
    EXPECT_EQ(tray.requests.front().message, DWORD(NIM_ADD));

    int deleted = 0;
    for (int i = 0; i < 2; ++i) {
        auto* rxtx = new CountedRxTxFrame(&deleted);
        ASSERT_TRUE(rxtx->Open());
        app.RxTxFrameListAdd(rxtx);
    }
    PumpPending();

    app.ExitInstance();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(app.RxTxFrames().Count(), 0u);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(tray.requests.back().message, DWORD(NIM_DELETE));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    CSharedMemory region;
    EXPECT_TRUE(region.SharedMemoryOpen(kInstanceRegionName)) << "the region lives as long as the object";
}

TEST(MonitorApp, ItsExitDoesNotWaitForRecordsStillQueuedForTheWindow)
{
    logpeer::PeerOptions options;
    options.tcp = false;  // the log service's own pipe
    logpeer::LogPeer peer(options);
    peer.StartListening();
    TrayLog tray;
    CMonitorApp app;
    PrepareApplication(app, GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    ASSERT_TRUE(app.InitInstance());
    std::shared_ptr<logpeer::Connection> link = peer.WaitConnection(20000);
    ASSERT_TRUE(link && link->WaitOpeningRequest(20000));
    // Records go to the window's thread, which does not run its loop now: they queue up.
    const uint32_t before = CallsQueuedForThisThread();
    for (int i = 0; i < 50; ++i)
        link->SendRecord(1, "COM1", {});
    ASSERT_TRUE(link->WaitDrained(20000));
    for (const DWORD start = GetTickCount(); CallsQueuedForThisThread() <= before && GetTickCount() - start < 20000;)
        Sleep(10);
    ASSERT_GT(CallsQueuedForThisThread(), before) << "no record reached this thread's queue";

    const DWORD start = GetTickCount();
    app.ExitInstance();
    // Each queued call held its record, and the record the link's objects: the
    // core's shut-down waited its full 15 seconds for them.
    EXPECT_LT(GetTickCount() - start, 5000u);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

}  // namespace
