// The main form driven through a fake socket server: the events a server
// raises go in, and what the form sends, logs and shows comes out.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "ConfigCommands.h"
#include "ControllerFrame.h"
#include "Unit1.h"
#include "forms/Application.h"
#include "forms/tests/Keyboard.h"
#include "rtl/Application.h"

namespace gatecfg {
namespace {

class FakeClient : public TControllerClient {
public:
    explicit FakeClient(std::string peer) : peer_(std::move(peer)) {}

    std::string PeerAddr() const override { return peer_; }
    std::string PeerPort() const override { return "40000"; }
    std::string LocalAddr() const override { return "127.0.0.1"; }
    std::string LocalPort() const override { return "1001"; }
    bool Connected() const override { return connected; }
    bool InvalidState() const override { return invalid; }
    void SetLineMode(bool value) override { lineMode = value; }
    void SetLineEdit(bool value) override { lineEdit = value; }
    void SetLineLimit(int value) override { lineLimit = value; }
    std::string ReceiveStr() override { return pending_; }
    void SendStr(const std::string& data) override
    {
        if (!connected)
            throw rtl::Exception("Socket is not connected (#10057 in Send)");
        sent.push_back(data);
    }
    void Close() override
    {
        ++closes;
        connected = false;
    }
    void CloseDelayed() override { ++delayedCloses; }

    // The controller sends one line.
    void Send(const std::string& line)
    {
        pending_ = line;
        OnDataAvailable(this, 0);
    }

    bool connected = true, invalid = false, lineMode = false, lineEdit = false;
    int lineLimit = 0, closes = 0, delayedCloses = 0;
    std::vector<std::string> sent;

private:
    std::string peer_, pending_;
};

class FakeServer : public TControllerServer {
public:
    void Configure(const TControllerServerSettings& value) override { settings = value; }
    void SetProto(const std::string& value) override { proto = value; }
    void SetAddr(const std::string& value) override { addr = value; }
    void SetPort(const std::string& value) override { port = value; }
    std::string Port() const override { return port; }
    bool Listening() const override { return listening; }
    bool Connected() const override { return false; }
    void Listen() override
    {
        ++listens;
        listening = true;
    }
    void CloseDelayed() override
    {
        ++delayedCloses;
        listening = false;
    }
    int ClientCount() const override { return static_cast<int>(clients.size()); }
    TControllerClient* Client(int index) const override { return clients.at(static_cast<size_t>(index)).get(); }

    FakeClient& Accept(const std::string& peer)
    {
        clients.push_back(std::make_unique<FakeClient>(peer));
        FakeClient& client = *clients.back();
        OnClientConnect(nullptr, &client, 0);
        return client;
    }
    void Drop(FakeClient& client)
    {
        OnClientDisconnect(nullptr, &client, 0);
        for (auto it = clients.begin(); it != clients.end(); ++it)
            if (it->get() == &client) {
                clients.erase(it);
                break;
            }
    }

    TControllerServerSettings settings;
    std::string proto, addr, port;
    bool listening = false;
    int listens = 0, delayedCloses = 0;
    std::vector<std::unique_ptr<FakeClient>> clients;
};

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto owned = std::make_unique<FakeServer>();
        server = owned.get();
        form = rtl::Create<TForm1>(nullptr, std::move(owned));
        forms::SetConfirmHandler([this](const std::wstring& text) {
            confirmations.push_back(text);
            if (whileAsking)
                whileAsking();
            return answer;
        });
    }
    void TearDown() override
    {
        forms::SetConfirmHandler(nullptr);
        form->Free();
    }

    // A controller at `peer` that has sent its first line and is selected.
    FakeClient& Learned(const std::string& peer, const std::string& firstLine = "$127BPING5C\r\n")
    {
        FakeClient& client = server->Accept(peer);
        client.Send(firstLine);
        client.sent.clear();
        form->ListView1->SetItemIndex(form->ListView1->Count() - 1);
        return client;
    }
    std::vector<std::wstring> Captions() const
    {
        std::vector<std::wstring> rows;
        for (int i = 0; i < form->ListView1->Count(); ++i)
            rows.push_back(form->ListView1->Item(i).Caption);
        return rows;
    }
    const std::wstring& LastLogLine() const
    {
        const forms::TLines& lines = form->DisplayMemo->Lines();
        return lines[lines.Count() - 1];
    }

    FakeServer* server = nullptr;
    TForm1* form = nullptr;
    std::vector<std::wstring> confirmations;
    bool answer = true;
    std::function<void()> whileAsking;
};

TEST_F(Form1Test, KeepAliveIsAnsweredUnloggedAndLearnsTheDevice)
{
    EXPECT_EQ(server->settings.Banner, "Welcome to TcpSrv");
    EXPECT_EQ(server->settings.BannerTooBusy, "Sorry, too many clients");
    EXPECT_EQ(server->settings.MaxClients, 1);
    FakeClient& client = server->Accept("10.0.0.5");
    EXPECT_TRUE(client.lineMode);
    EXPECT_TRUE(client.lineEdit);
    EXPECT_EQ(client.lineLimit, 160);
    const forms::TLines& log = form->DisplayMemo->Lines();
    ASSERT_EQ(log.Count(), 3);
    EXPECT_EQ(log[0], L"Memo1");
    EXPECT_EQ(log[1], L"Client connected. Remote: 10.0.0.5/40000 Local: 127.0.0.1/1001");
    EXPECT_EQ(log[2], L"There is now 1 clients connected.");

    client.Send("$127BPING5C\r\n\r\n");
    EXPECT_EQ(client.sent, std::vector<std::string>{"$127BECHOCC"});
    ASSERT_EQ(log.Count(), 4);
    EXPECT_EQ(log[3], L"$127BPING5C");
    ASSERT_EQ(form->ListView1->Count(), 1);
    EXPECT_EQ(form->ListView1->Item(0).Caption, L"10.0.0.5");
    EXPECT_EQ(form->ListView1->Item(0).SubItems, std::vector<std::wstring>{L"Comtroller"});
    ASSERT_EQ(form->DeviceCount(), 1);
    EXPECT_EQ(form->Device(0).DevNum, "127");
    EXPECT_EQ(form->Device(0).Side, "B");
    EXPECT_EQ(form->Device(0).Client, &client);

    // A reply is not a keep-alive, and an info terminal shows as one.
    FakeClient& terminal = server->Accept("10.0.0.6");
    terminal.Send("#001IGNTerminal            7A\r\n");
    EXPECT_TRUE(terminal.sent.empty());
    EXPECT_EQ(form->ListView1->Item(1).SubItems, std::vector<std::wstring>{L"Info terminal"});
}

TEST_F(Form1Test, DisconnectFreesOnlyTheRowOfExactlyThatAddress)
{
    FakeClient& longer = Learned("10.0.0.12");
    FakeClient& refused = server->Accept("10.0.0.1");  // never sends a line: no record
    server->Drop(refused);
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"10.0.0.12"});
    ASSERT_EQ(form->DeviceCount(), 1);

    FakeClient& shorter = Learned("10.0.0.1");
    Learned("10.0.0.123");
    server->Drop(shorter);
    EXPECT_EQ(Captions(), (std::vector<std::wstring>{L"10.0.0.12", L"10.0.0.123"}));
    ASSERT_EQ(form->DeviceCount(), 2);
    EXPECT_EQ(form->Device(0).Ip, "10.0.0.12");
    EXPECT_EQ(form->Device(1).Ip, "10.0.0.123");
    server->Drop(longer);
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"10.0.0.123"});
    EXPECT_EQ(form->Device(0).Ip, "10.0.0.123");
}

TEST_F(Form1Test, AReconnectingAddressKeepsOneRowThatFollowsTheNewestSocket)
{
    FakeClient& first = Learned("10.0.0.7");
    first.connected = false;
    FakeClient& second = server->Accept("10.0.0.7");
    second.Send("$127BPING5C\r\n");
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"10.0.0.7"});
    ASSERT_EQ(form->DeviceCount(), 1);
    EXPECT_EQ(form->Device(0).Client, &second);

    // Clients left in the invalid state are closed at a disconnect.
    first.invalid = true;
    server->Drop(second);
    EXPECT_EQ(first.closes, 1);
    EXPECT_EQ(form->DeviceCount(), 0);
    EXPECT_EQ(form->ListView1->Count(), 0);
}

TEST_F(Form1Test, TheLogDropsItsOldestFiftyLinesOnceItHoldsMoreThan200)
{
    const forms::TLines& log = form->DisplayMemo->Lines();
    for (int i = 2; i <= 200; ++i)
        form->DisplayLine("line " + std::to_string(i));
    ASSERT_EQ(log.Count(), 200);
    form->DisplayLine("line 201");
    EXPECT_EQ(log.Count(), 201);
    EXPECT_EQ(log[0], L"Memo1");
    form->DisplayLine("line 202");
    EXPECT_EQ(log.Count(), 152);
    EXPECT_EQ(log[0], L"line 51");
    EXPECT_EQ(LastLogLine(), L"line 202");
    // Wire text is shown in Windows-1251.
    form->DisplayLine("\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(LastLogLine(), L"Привет");
}

// The log window shows every line that arrived: a NUL and other control
// bytes as their codes, the lines after them whole, and the trimming's counts.
TEST_F(Form1Test, TheLogWindowShowsEveryLineThatArrived)
{
    rtl::StartRuntime();
    form->CreateHandle();
    const HWND memo = form->DisplayMemo->Handle();
    const auto shown = [memo] {
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(memo)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(memo, &text[0], static_cast<int>(text.size()))));
        return text;
    };
    FakeClient& client = Learned("10.0.0.5");
    client.Send(std::string("$127BX\0Y\x01Z\x7F\r\n", 12));
    client.Send("$127BPING5C\r\n");
    const std::wstring tail = L"\r\n$127BX<00>Y<01>Z<7F>\r\n$127BPING5C";
    const std::wstring text = shown();
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    const forms::TLines& log = form->DisplayMemo->Lines();
    while (log.Count() < 201)
        form->DisplayLine("line " + std::to_string(log.Count()));
    EXPECT_EQ(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), 201);
    form->DisplayLine("after the trim");
    ASSERT_EQ(log.Count(), 152);
    EXPECT_EQ(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), 152);
    EXPECT_EQ(shown(), log.Text());  // no control byte is left among these
    rtl::StopRuntime();
}

TEST_F(Form1Test, PollClearsTheParametersAndSendsItsSevenFrames)
{
    FakeClient& client = Learned("10.0.0.5", "$127APING\r\n");
    form->DeviceInfo->Add(L"old", {L"row"});
    form->Button2Click(nullptr);
    EXPECT_EQ(confirmations, std::vector<std::wstring>{L"Опросить устройство 10.0.0.5 ?"});
    const std::vector<std::string> expected = {
        AppendCrc("$127AGN"), AppendCrc("$127AGL"), AppendCrc("$127AGV"), AppendCrc("$127AGD"),
        AppendCrc("$127AGC"), AppendCrc("$127ART"), AppendCrc("$127BRT")};
    EXPECT_EQ(client.sent, expected);
    EXPECT_EQ(form->DeviceInfo->Count(), 0);
    const forms::TLines& log = form->DisplayMemo->Lines();
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(log[log.Count() - 7 + static_cast<int>(i)], L"Send ->" + std::wstring(expected[i].begin(), expected[i].end()));
}

TEST_F(Form1Test, DecodedRepliesFillTheParametersAndLoadTheControls)
{
    FakeClient& client = Learned("10.0.0.5");
    client.Send("#127BGNTORVALA-2           33\r\n");
    client.Send("#127BGCNORRF10510520020030511055xxAA\r\n");
    ASSERT_EQ(form->DeviceInfo->Count(), 15);
    EXPECT_EQ(form->DeviceInfo->Item(0).Caption, L"Имя устройства");
    EXPECT_EQ(form->DeviceInfo->Item(0).SubItems[0], L"TORVALA-2           ");
    EXPECT_EQ(form->DeviceInfo->Item(5).Caption, L"Безопасный режим");
    EXPECT_EQ(form->DeviceInfo->Item(5).SubItems[0], L"Динамический ключ");
    EXPECT_EQ(form->SpinEdit1->Value(), 1);
    EXPECT_EQ(form->SpinEdit7->Value(), 1);
    EXPECT_EQ(form->SpinEdit3->Value(), 2);
    EXPECT_EQ(form->SpinEdit8->Value(), 2);
    EXPECT_EQ(form->SpinEdit10->Value(), 3);
    EXPECT_EQ(form->MaskEdit2->Text(), L"0.5");
    EXPECT_EQ(form->MaskEdit3->Text(), L"0.0");
    EXPECT_EQ(form->MaskEdit1->Text(), L"0.5");
    EXPECT_EQ(form->MaskEdit6->Text(), L"1.0");
    EXPECT_EQ(form->MaskEdit7->Text(), L"5");
    EXPECT_EQ(form->MaskEdit8->Text(), L"5");
    EXPECT_EQ(LastLogLine(), L"#127BGCNORRF10510520020030511055xxAA");

    // A reply with a broken relay position throws nothing and keeps the spin edit.
    client.Send("#127BGCNORRFx05\r\n");
    EXPECT_EQ(form->SpinEdit1->Value(), 1);
    EXPECT_TRUE(client.connected);
}

// Relay 7 is beyond the spin edit: it must not turn into a 4 that the next
// assignment sends to the device.
TEST_F(Form1Test, ARelayDigitTheSpinEditCannotHoldIsShownAndNotSent)
{
    FakeClient& client = Learned("10.0.0.5");
    form->SpinEdit1->SetValue(2);
    client.Send("#127BGCNORRF70510520020030511055xxAA\r\n");
    ASSERT_EQ(form->DeviceInfo->Count(), 14);
    EXPECT_EQ(form->DeviceInfo->Item(5).Caption, L"Сторона А Основное реле № 7 Время вкл. ");
    EXPECT_EQ(form->SpinEdit1->Value(), 2);
    EXPECT_EQ(form->MaskEdit2->Text(), L"0.5");
    form->Button4Click(nullptr);
    EXPECT_EQ(client.sent, std::vector<std::string>{AppendCrc("$127APR205")});
}

TEST_F(Form1Test, EachCommandConfirmsItsTextAndSendsItsFrame)
{
    FakeClient& client = Learned("10.0.0.5");
    form->SpinEdit1->SetValue(2);
    form->MaskEdit2->SetText(L"1.5");
    form->SpinEdit3->SetValue(3);
    form->MaskEdit3->SetText(L"0.2");
    form->ComboBox1->SetItemIndex(1);
    form->SpinEdit7->SetValue(1);
    form->MaskEdit4->SetText(L"0.5");
    form->SpinEdit8->SetValue(4);
    form->MaskEdit5->SetText(L"");
    form->ComboBox3->SetItemIndex(0);
    form->MaskEdit6->SetText(L"1.0");
    form->SpinEdit10->SetValue(3);
    form->MaskEdit1->SetText(L"0.5");
    form->MaskEdit7->SetText(L"5");
    form->Edit1->SetText(L"  GV \t");
    const std::wstring d = L"Для устройства 10.0.0.5";
    struct Case {
        void (TForm1::*click)(rtl::TObject*);
        std::wstring confirmation;
        std::string frame;
    } cases[] = {
        {&TForm1::Button3Click, L"Сбросить настройки устройства 10.0.0.5 ?", AppendCrc("$127BRD")},
        {&TForm1::Button4Click, d + L" Сторона А, назначить основным реле2 время 1.5 ?", AppendCrc("$127APR215")},
        {&TForm1::Button5Click, d + L" Сторона А, назначить дополнитеьным реле3 время 0.2 ?", AppendCrc("$127ASR302G")},
        {&TForm1::Button7Click, d + L" Сторона B, назначить основным реле1 время 0.5 ?", "$127BPR10580"},
        {&TForm1::Button6Click, d + L" Сторона B, назначить дополнитеьным реле4 время  .  ?", AppendCrc("$127BSR4  ")},
        {&TForm1::Button8Click, d + L" назначить задержку выключения основного реле после начала прохода приоритет A время 1.0 ?", AppendCrc("$127BDL110")},
        {&TForm1::Button9Click, d + L" реле ПАНИКИ 3 и время включения в сек 0.5 ?", "$127BRP3059C"},
        {&TForm1::Button10Click, d + L" Сторона А  установить время ожидания прохода в сек 5 ?", AppendCrc("$127AST5")},
        {&TForm1::Button11Click, d + L" Сторона B установить время ожидания прохода в сек   ?", AppendCrc("$127BST ")},
        {&TForm1::Button12Click, d + L" отправить команду   GV \t ?", AppendCrc("$127GV")},
    };
    for (const Case& c : cases) {
        confirmations.clear();
        client.sent.clear();
        (form->*c.click)(nullptr);
        EXPECT_EQ(confirmations, std::vector<std::wstring>{c.confirmation});
        EXPECT_EQ(client.sent, std::vector<std::string>{c.frame}) << c.frame;
        EXPECT_EQ(LastLogLine(), L"Send ->" + std::wstring(c.frame.begin(), c.frame.end()));
    }
}

TEST_F(Form1Test, NothingIsSentWithoutSelectionYesOrRecord)
{
    FakeClient& client = Learned("10.0.0.5");
    const int logged = form->DisplayMemo->Lines().Count();

    form->ListView1->SetItemIndex(-1);
    form->Button3Click(nullptr);
    EXPECT_TRUE(confirmations.empty());

    form->ListView1->SetItemIndex(0);
    answer = false;
    form->Button2Click(nullptr);
    form->Button3Click(nullptr);
    EXPECT_EQ(confirmations.size(), 2u);

    // The device goes while the box is open: it is looked up again after it.
    answer = true;
    whileAsking = [&] { server->Drop(client); };
    form->Button4Click(nullptr);
    EXPECT_EQ(confirmations.size(), 3u);
    EXPECT_TRUE(client.sent.empty());
    EXPECT_EQ(form->DisplayMemo->Lines().Count(), logged);
}

TEST_F(Form1Test, TheFrameHoldsTheValuesShownWhenTheBoxOpened)
{
    FakeClient& client = Learned("10.0.0.5");
    form->SpinEdit7->SetValue(1);
    form->MaskEdit4->SetText(L"0.5");
    // A configuration reply decoded while the box is open reloads the controls.
    whileAsking = [&] { client.Send("#127BGCNORRF10513020020030511055xxAA\r\n"); };
    form->Button7Click(nullptr);
    EXPECT_EQ(form->MaskEdit4->Text(), L"3.0");
    EXPECT_EQ(client.sent, std::vector<std::string>{"$127BPR10580"});
}

TEST_F(Form1Test, ASendOnAClosedSocketRaisesAndStopsThePoll)
{
    FakeClient& client = Learned("10.0.0.5");
    client.connected = false;
    const int logged = form->DisplayMemo->Lines().Count();
    EXPECT_THROW(form->Button2Click(nullptr), rtl::Exception);
    EXPECT_TRUE(client.sent.empty());
    EXPECT_EQ(form->DisplayMemo->Lines().Count(), logged);
}

TEST_F(Form1Test, ALineOverTheLimitClosesThatConnection)
{
    FakeClient& client = server->Accept("10.0.0.5");
    bool clearData = false;
    client.OnLineLimitExceeded(&client, 161, clearData);
    EXPECT_TRUE(clearData);
    EXPECT_EQ(client.closes, 1);
    EXPECT_EQ(LastLogLine(), L"Line limit exceeded from 10.0.0.5. Closing.");

    bool canClose = false;
    client.OnBgException(&client, rtl::Exception("x"), canClose);
    EXPECT_TRUE(canClose);
    canClose = true;
    server->OnBgException(nullptr, rtl::Exception("x"), canClose);
    EXPECT_FALSE(canClose);
    server->OnSessionClosed(nullptr, 0);
    EXPECT_EQ(LastLogLine(), L"Session closed");
}

TEST_F(Form1Test, StartListensOnTheFixedPortAndStopForgetsEveryDevice)
{
    EXPECT_EQ(form->Button1->Caption(), L"Запустить");
    form->Button1Click(nullptr);
    EXPECT_EQ(server->listens, 1);
    EXPECT_EQ(server->port, "1001");
    EXPECT_EQ(server->proto, "tcp");
    EXPECT_EQ(server->addr, "0.0.0.0");
    EXPECT_EQ(form->Button1->Caption(), L"Остановить");

    FakeClient& client = Learned("10.0.0.5");
    form->Button1Click(nullptr);
    EXPECT_EQ(client.delayedCloses, 1);
    EXPECT_EQ(server->delayedCloses, 1);
    EXPECT_EQ(form->DeviceCount(), 0);
    EXPECT_EQ(form->ListView1->Count(), 0);
    EXPECT_EQ(form->Button1->Caption(), L"Запустить");

    // Learned afresh after the next start.
    form->SetListenPort("0");
    form->Button1Click(nullptr);
    EXPECT_EQ(server->port, "0");
    client.Send("$127BPING5C\r\n");
    EXPECT_EQ(form->DeviceCount(), 1);
}

TEST_F(Form1Test, TheFormShowsItsRussianTextsInItsWindows)
{
    rtl::StartRuntime();
    form->CreateHandle();
    wchar_t text[64] = {};
    GetWindowTextW(form->Button2->Handle(), text, 64);
    EXPECT_STREQ(text, L"Опросить устройство");
    GetWindowTextW(form->Handle(), text, 64);
    EXPECT_STREQ(text, L"Form1");
    EXPECT_EQ(form->Width(), 924);
    EXPECT_EQ(form->Height(), 583);
    EXPECT_EQ(form->ListView1->Width(), 265);
    EXPECT_EQ(form->DisplayMemo->Height(), 119);
    EXPECT_EQ(form->PageControl1->PageCount(), 5);
    EXPECT_EQ(form->TabSheet5->Caption(), L"Команда");
    EXPECT_GT(GetWindowTextLengthW(form->RichEdit1->Handle()), 1000);
    rtl::StopRuntime();
}

// Tab walks the relay page in reading order, side A, side B, then the delay;
// Enter presses the focused button; in the command line it sends the command.
TEST_F(Form1Test, TheKeyboardWalksTheRelayPageAndEnterPressesTheDefaultButton)
{
    rtl::StartRuntime();
    Learned("10.0.0.5");
    form->Show();
    form->PageControl1->SetActivePageIndex(1);
    SetFocus(form->SpinEdit1->Handle());
    const forms::TControl* order[] = {form->MaskEdit2, form->Button4,   form->SpinEdit3, form->MaskEdit3,
                                      form->ComboBox1, form->Button5,   form->SpinEdit7, form->MaskEdit4,
                                      form->Button7,   form->SpinEdit8, form->MaskEdit5, form->ComboBox2,
                                      form->Button6,   form->ComboBox3, form->MaskEdit6, form->Button8,
                                      form->DisplayMemo};
    for (const forms::TControl* expected : order) {
        forms::test::Press(VK_TAB);
        ASSERT_EQ(forms::TControl::FromHandle(GetFocus()), expected) << expected->Name();
    }
    forms::test::Press(VK_TAB, true);
    forms::test::Press(VK_TAB, true);
    ASSERT_EQ(GetFocus(), form->MaskEdit6->Handle());

    SetFocus(form->Button4->Handle());
    forms::test::Press(VK_RETURN);
    EXPECT_EQ(confirmations, std::vector<std::wstring>{
        L"Для устройства 10.0.0.5 Сторона А, назначить основным реле0 время  .  ?"});

    // "Отправить" is the form's default button, pressed while its page shows.
    confirmations.clear();
    form->PageControl1->SetActivePageIndex(4);
    form->Edit1->SetText(L"GV");
    SetFocus(form->Edit1->Handle());
    forms::test::Press(VK_RETURN);
    EXPECT_EQ(confirmations, std::vector<std::wstring>{L"Для устройства 10.0.0.5 отправить команду GV ?"});
    rtl::StopRuntime();
}

// The values of the parameter list get the width the names leave, so that
// none is cut; the device list's captions fit their columns.
TEST_F(Form1Test, TheParameterValuesTakeTheRestOfTheList)
{
    rtl::StartRuntime();
    form->CreateHandle();
    FakeClient& client = Learned("10.0.0.5");
    client.Send("#127BGCNORRF10510520020030511055xxAA\r\n");
    const HWND list = form->DeviceInfo->Handle();
    const auto width = [](HWND h, int column) {
        return static_cast<int>(SendMessageW(h, LVM_GETCOLUMNWIDTH, column, 0));
    };
    RECT area{};
    GetClientRect(list, &area);
    EXPECT_EQ(width(list, 0), 300);
    EXPECT_EQ(width(list, 1), area.right - 300);
    EXPECT_GT(width(list, 1), SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"Динамический ключ")));
    const HWND devices = form->ListView1->Handle();
    EXPECT_EQ(width(devices, 0), 150);
    EXPECT_GE(width(devices, 1), 100);
    EXPECT_GT(width(devices, 1), SendMessageW(devices, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"Тип устройства")));
    rtl::StopRuntime();
}

// What a person sees: every caption fits its control, and no two controls
// placed on one panel or page cover each other (a bevel only frames them).
TEST_F(Form1Test, CaptionsFitTheirControlsAndNoTwoControlsOverlap)
{
    rtl::StartRuntime();
    form->CreateHandle();
    std::vector<forms::TControl*> placed;
    for (int i = 0; i < form->ComponentCount(); ++i) {
        auto* control = dynamic_cast<forms::TControl*>(form->Components(i));
        if (!control || !control->HandleAllocated())
            continue;
        const bool captioned = dynamic_cast<forms::TLabel*>(control) || dynamic_cast<forms::TButton*>(control);
        if (captioned) {
            HDC dc = GetDC(control->Handle());
            HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control->Handle(), WM_GETFONT, 0, 0));
            HGDIOBJ previous = SelectObject(dc, font);
            SIZE size{};
            const std::wstring& caption = control->Caption();
            GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
            SelectObject(dc, previous);
            ReleaseDC(control->Handle(), dc);
            EXPECT_LE(size.cx, control->Width()) << control->Name();
        }
        if (control->Align() == forms::TAlign::alNone && !dynamic_cast<forms::TBevel*>(control) &&
            !dynamic_cast<forms::TTabSheet*>(control))
            placed.push_back(control);
    }
    for (size_t a = 0; a < placed.size(); ++a)
        for (size_t b = a + 1; b < placed.size(); ++b) {
            const forms::TControl& x = *placed[a];
            const forms::TControl& y = *placed[b];
            if (x.Parent() != y.Parent())
                continue;
            const bool apart = x.Left() + x.Width() <= y.Left() || y.Left() + y.Width() <= x.Left() ||
                               x.Top() + x.Height() <= y.Top() || y.Top() + y.Height() <= x.Top();
            EXPECT_TRUE(apart) << x.Name() << " and " << y.Name();
        }
    rtl::StopRuntime();
}

}  // namespace
}  // namespace gatecfg
