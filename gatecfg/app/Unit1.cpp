#include "Unit1.h"

#include "ControllerFrame.h"
#include "Cp1251.h"
#include "ReferenceText.h"
#include "ReplyDecoder.h"
#include "forms/Application.h"
#include "net/CalyxLogger.h"
#include "rtl/SysUtils.h"

namespace gatecfg {

namespace {

using forms::TAlign;

const int kMaxLogLines = 200;
const int kLogLinesDropped = 50;
const int kLineLimit = 160;

template <class T>
T* Add(TForm1* form, forms::TControl* parent, const char* name, int left, int top, int width,
       int height, const std::wstring& caption = {})
{
    T* control = rtl::Create<T>(form);
    control->SetName(name);
    control->SetBounds(left, top, width, height);
    if (!caption.empty())
        control->SetCaption(caption);
    control->SetParent(parent);
    return control;
}

forms::TSpinEdit* RelaySpin(TForm1* form, forms::TControl* parent, const char* name, int left, int top)
{
    auto* spin = Add<forms::TSpinEdit>(form, parent, name, left, top, 50, 21);
    spin->SetRange(kMinRelayNumber, kMaxRelayNumber);
    spin->SetValue(0);
    return spin;
}

forms::TMaskEdit* MaskedEdit(TForm1* form, forms::TControl* parent, const char* name, int left,
                             int top, const wchar_t* mask)
{
    auto* edit = Add<forms::TMaskEdit>(form, parent, name, left, top, 40, 21);
    edit->SetEditMask(mask);
    return edit;
}

forms::TComboBox* Combo(TForm1* form, forms::TControl* parent, const char* name, int left, int top,
                        int width, std::initializer_list<const wchar_t*> items)
{
    auto* combo = Add<forms::TComboBox>(form, parent, name, left, top, width, 21);
    for (const wchar_t* item : items)
        combo->AddItem(item);
    return combo;
}

}  // namespace

TForm1::TForm1(rtl::TComponent* owner, std::unique_ptr<TControllerServer> server)
    : forms::TForm(owner), FServer(std::move(server))
{
    SetName("Form1");
    SetCaption(L"Form1");
    SetPosition(forms::TPosition::poScreenCenter);
    SetBounds(0, 0, 924, 583);

    XSocketServer1 = FServer.get();
    XSocketServer1->Configure(TControllerServerSettings{});
    XSocketServer1->OnClientConnect = {this, &TForm1::XSocketServer1ClientConnect};
    XSocketServer1->OnClientDisconnect = {this, &TForm1::XSocketServer1ClientDisconnect};
    XSocketServer1->OnSessionClosed = {this, &TForm1::XSocketServer1SessionClosed};
    XSocketServer1->OnBgException = {this, &TForm1::XSocketServer1BgException};
    CxLogger1 = rtl::Create<calyx::TCxLogger>(this);
    CxLogger1->SetName("CxLogger1");

    BuildLayout();
    OnCreate = {this, &TForm1::FormCreate};
    OnDestroy = {this, &TForm1::FormDestroy};
}

void TForm1::BuildLayout()
{
    ListView1 = Add<forms::TListView>(this, this, "ListView1", 0, 0, 265, 0);
    ListView1->SetAlign(TAlign::alLeft);
    ListView1->SetRowSelect(true);
    ListView1->SetReadOnly(true);
    ListView1->AddColumn(L"IP", 150);
    ListView1->AddColumn(L"Тип устройства", 100);
    ListView1->OnSelectItem = {this, &TForm1::ListView1SelectItem};

    Panel1 = Add<forms::TPanel>(this, this, "Panel1", 0, 0, 0, 0);
    Panel1->SetAlign(TAlign::alClient);
    Panel2 = Add<forms::TPanel>(this, Panel1, "Panel2", 0, 0, 0, 41);
    Panel2->SetAlign(TAlign::alTop);
    Button1 = Add<forms::TButton>(this, Panel2, "Button1", 8, 8, 105, 25, L"Запустить");
    Button1->OnClick = {this, &TForm1::Button1Click};
    Button2 = Add<forms::TButton>(this, Panel2, "Button2", 120, 8, 150, 25, L"Опросить устройство");
    Button2->OnClick = {this, &TForm1::Button2Click};

    DeviceInfo = Add<forms::TListView>(this, Panel1, "DeviceInfo", 0, 0, 0, 150);
    DeviceInfo->SetAlign(TAlign::alTop);
    DeviceInfo->SetRowSelect(true);
    DeviceInfo->SetReadOnly(true);
    DeviceInfo->AddColumn(L"Параметр", 300);
    DeviceInfo->AddColumn(L"Значение", 100, true);

    PageControl1 = Add<forms::TPageControl>(this, Panel1, "PageControl1", 0, 0, 0, 0);
    PageControl1->SetAlign(TAlign::alClient);
    forms::TTabSheet** sheets[] = {&TabSheet1, &TabSheet2, &TabSheet3, &TabSheet4, &TabSheet5};
    const wchar_t* captions[] = {L"Сбросить настройки", L"Назначение реле", L"Паника", L"Проходы",
                                 L"Команда"};
    for (int i = 0; i < 5; ++i) {
        auto* sheet = rtl::Create<forms::TTabSheet>(this);
        sheet->SetName("TabSheet" + std::to_string(i + 1));
        sheet->SetCaption(captions[i]);
        sheet->SetPageControl(PageControl1);
        *sheets[i] = sheet;
    }
    BuildRelayPage();
    BuildOtherPages();

    // Made last, so that the keyboard reaches the log after the pages.
    DisplayMemo = Add<forms::TMemo>(this, this, "DisplayMemo", 0, 0, 0, 119);
    DisplayMemo->SetAlign(TAlign::alBottom);
    DisplayMemo->Lines().Add(L"Memo1");
}

void TForm1::BuildRelayPage()
{
    const wchar_t* time = L"9.9;1;_";
    Panel3 = Add<forms::TPanel>(this, TabSheet2, "Panel3", 0, 0, 640, 50);
    Label[2] = Add<forms::TLabel>(this, Panel3, "Label2", 8, 22, 70, 16, L"Сторона А");
    Label[3] = Add<forms::TLabel>(this, Panel3, "Label3", 84, 4, 80, 16, L"Основное реле");
    Label[4] = Add<forms::TLabel>(this, Panel3, "Label4", 166, 4, 60, 16, L"Время вкл.");
    Label[5] = Add<forms::TLabel>(this, Panel3, "Label5", 324, 4, 86, 16, L"Дополнит. реле");
    Label[6] = Add<forms::TLabel>(this, Panel3, "Label6", 412, 4, 60, 16, L"Время вкл.");
    SpinEdit1 = RelaySpin(this, Panel3, "SpinEdit1", 84, 20);
    MaskEdit2 = MaskedEdit(this, Panel3, "MaskEdit2", 166, 20, time);
    Button4 = Add<forms::TButton>(this, Panel3, "Button4", 232, 18, 80, 25, L"Назначить");
    SpinEdit3 = RelaySpin(this, Panel3, "SpinEdit3", 324, 20);
    MaskEdit3 = MaskedEdit(this, Panel3, "MaskEdit3", 412, 20, time);
    ComboBox1 = Combo(this, Panel3, "ComboBox1", 458, 20, 90, {L"Красный", L"Зеленый", L"Нет"});
    Button5 = Add<forms::TButton>(this, Panel3, "Button5", 554, 18, 80, 25, L"Назначить");

    Panel4 = Add<forms::TPanel>(this, TabSheet2, "Panel4", 0, 52, 640, 50);
    Label[7] = Add<forms::TLabel>(this, Panel4, "Label7", 8, 22, 70, 16, L"Сторона B");
    Label[8] = Add<forms::TLabel>(this, Panel4, "Label8", 84, 4, 80, 16, L"Основное реле");
    Label[9] = Add<forms::TLabel>(this, Panel4, "Label9", 166, 4, 60, 16, L"Время вкл.");
    Label[10] = Add<forms::TLabel>(this, Panel4, "Label10", 324, 4, 86, 16, L"Дополнит. реле");
    Label[11] = Add<forms::TLabel>(this, Panel4, "Label11", 412, 4, 60, 16, L"Время вкл.");
    SpinEdit7 = RelaySpin(this, Panel4, "SpinEdit7", 84, 20);
    MaskEdit4 = MaskedEdit(this, Panel4, "MaskEdit4", 166, 20, time);
    Button7 = Add<forms::TButton>(this, Panel4, "Button7", 232, 18, 80, 25, L"Назначить");
    SpinEdit8 = RelaySpin(this, Panel4, "SpinEdit8", 324, 20);
    MaskEdit5 = MaskedEdit(this, Panel4, "MaskEdit5", 412, 20, time);
    ComboBox2 = Combo(this, Panel4, "ComboBox2", 458, 20, 90, {L"Красный", L"Зеленый", L"Нет"});
    Button6 = Add<forms::TButton>(this, Panel4, "Button6", 554, 18, 80, 25, L"Назначить");

    Bevel1 = Add<forms::TBevel>(this, TabSheet2, "Bevel1", 8, 106, 620, 2);
    Bevel1->SetShape(forms::TBevelShape::bsTopLine);
    Label[12] = Add<forms::TLabel>(this, TabSheet2, "Label12", 8, 112, 420, 16,
                                   L"Задержка выключения основного реле после начала прохода");
    Label[18] = Add<forms::TLabel>(this, TabSheet2, "Label18", 8, 136, 70, 16, L"Приоритет");
    ComboBox3 = Combo(this, TabSheet2, "ComboBox3", 84, 132, 50, {L"A", L"B"});
    MaskEdit6 = MaskedEdit(this, TabSheet2, "MaskEdit6", 140, 132, time);
    Button8 = Add<forms::TButton>(this, TabSheet2, "Button8", 186, 130, 90, 25, L"Назначить");

    Button4->OnClick = {this, &TForm1::Button4Click};
    Button5->OnClick = {this, &TForm1::Button5Click};
    Button6->OnClick = {this, &TForm1::Button6Click};
    Button7->OnClick = {this, &TForm1::Button7Click};
    Button8->OnClick = {this, &TForm1::Button8Click};
}

void TForm1::BuildOtherPages()
{
    Label[1] = Add<forms::TLabel>(this, TabSheet1, "Label1", 8, 12, 400, 16,
                                  L"Сбросить все настройки устройства к заводским");
    Button3 = Add<forms::TButton>(this, TabSheet1, "Button3", 8, 36, 90, 25, L"Сброс");
    Button3->OnClick = {this, &TForm1::Button3Click};

    Bevel2 = Add<forms::TBevel>(this, TabSheet3, "Bevel2", 4, 4, 300, 64);
    Label[13] = Add<forms::TLabel>(this, TabSheet3, "Label13", 12, 12, 80, 16, L"Номер реле");
    Label[14] = Add<forms::TLabel>(this, TabSheet3, "Label14", 100, 12, 80, 16, L"Время вкл.");
    SpinEdit10 = RelaySpin(this, TabSheet3, "SpinEdit10", 12, 32);
    MaskEdit1 = MaskedEdit(this, TabSheet3, "MaskEdit1", 100, 32, L"9.9;1;_");
    Button9 = Add<forms::TButton>(this, TabSheet3, "Button9", 150, 30, 90, 25, L"Назначить");
    Button9->OnClick = {this, &TForm1::Button9Click};

    Bevel3 = Add<forms::TBevel>(this, TabSheet4, "Bevel3", 4, 4, 330, 64);
    Label[15] = Add<forms::TLabel>(this, TabSheet4, "Label15", 12, 12, 300, 16,
                                   L"Установить время ожидания прохода в сек");
    MaskEdit7 = MaskedEdit(this, TabSheet4, "MaskEdit7", 12, 34, L"9;1;_");
    Button10 = Add<forms::TButton>(this, TabSheet4, "Button10", 60, 32, 90, 25, L"Сторона А");
    Bevel4 = Add<forms::TBevel>(this, TabSheet4, "Bevel4", 4, 74, 330, 64);
    Label[16] = Add<forms::TLabel>(this, TabSheet4, "Label16", 12, 82, 300, 16,
                                   L"Установить время ожидания прохода в сек");
    MaskEdit8 = MaskedEdit(this, TabSheet4, "MaskEdit8", 12, 104, L"9;1;_");
    Button11 = Add<forms::TButton>(this, TabSheet4, "Button11", 60, 102, 90, 25, L"Сторона B");
    Button10->OnClick = {this, &TForm1::Button10Click};
    Button11->OnClick = {this, &TForm1::Button11Click};

    Label[17] = Add<forms::TLabel>(this, TabSheet5, "Label17", 8, 8, 200, 16, L"Введите команду");
    Edit1 = Add<forms::TEdit>(this, TabSheet5, "Edit1", 8, 26, 300, 21);
    Button12 = Add<forms::TButton>(this, TabSheet5, "Button12", 316, 24, 90, 25, L"Отправить");
    Button12->SetDefault(true);  // Enter sends the command typed
    Button12->OnClick = {this, &TForm1::Button12Click};
    RichEdit1 = Add<forms::TRichEdit>(this, TabSheet5, "RichEdit1", 8, 56, 620, 130);
    RichEdit1->SetReadOnly(true);
    RichEdit1->Lines().SetText(ControllerReferenceText());
}

void TForm1::FormCreate(rtl::TObject*)
{
    ConList.clear();
}

void TForm1::FormDestroy(rtl::TObject*)
{
    ClearDevices();
}

void TForm1::ClearDevices()
{
    // Last to first, as they were learned.
    while (!ConList.empty())
        ConList.pop_back();
}

void TForm1::Button1Click(rtl::TObject*)
{
    if (XSocketServer1->Listening()) {
        ListView1->Clear();
        for (int i = 0; i < XSocketServer1->ClientCount(); ++i)
            XSocketServer1->Client(i)->CloseDelayed();
        XSocketServer1->CloseDelayed();
        ClearDevices();
        Button1->SetCaption(L"Запустить");
        return;
    }
    XSocketServer1->SetProto("tcp");
    XSocketServer1->SetPort(FListenPort);
    XSocketServer1->SetAddr(FListenAddr);
    if (!XSocketServer1->Connected())
        XSocketServer1->Listen();
    Button1->SetCaption(L"Остановить");
}

void TForm1::ListView1SelectItem(rtl::TObject*, int, bool) {}

void TForm1::XSocketServer1ClientConnect(rtl::TObject*, TControllerClient* client, int)
{
    DisplayLine("Client connected. Remote: " + client->PeerAddr() + "/" + client->PeerPort() +
                " Local: " + client->LocalAddr() + "/" + client->LocalPort());
    DisplayLine("There is now " + rtl::IntToStr(XSocketServer1->ClientCount()) +
                " clients connected.");
    client->SetLineMode(true);
    client->SetLineEdit(true);
    client->SetLineLimit(kLineLimit);
    client->OnDataAvailable = {this, &TForm1::ClientDataAvailable};
    client->OnLineLimitExceeded = {this, &TForm1::ClientLineLimitExceeded};
    client->OnBgException = {this, &TForm1::ClientBgException};
}

void TForm1::XSocketServer1ClientDisconnect(rtl::TObject*, TControllerClient* client, int)
{
    const std::string peer = client->PeerAddr();
    int i = FindDeviceByIp(peer);
    if (i != -1)
        ConList.erase(ConList.begin() + i);
    // Only the row of exactly this address: a row whose address merely begins
    // with it belongs to another controller.
    int row = ListView1->FindCaption(i, FromCp1251(peer), false, true, true);
    if (row != -1)
        ListView1->Delete(row);
    for (int c = 0; c < XSocketServer1->ClientCount(); ++c)
        if (XSocketServer1->Client(c)->InvalidState())
            XSocketServer1->Client(c)->Close();
}

void TForm1::XSocketServer1SessionClosed(rtl::TObject*, int)
{
    DisplayLine("Session closed");
}

void TForm1::XSocketServer1BgException(rtl::TObject*, const std::exception&, bool& canClose)
{
    canClose = false;
}

void TForm1::ClientDataAvailable(rtl::TObject* sender, int)
{
    auto* client = dynamic_cast<TControllerClient*>(sender);
    if (!client)
        return;
    client->RcvdLine = client->ReceiveStr();
    std::string& line = client->RcvdLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    ProcessLine(*client);
}

void TForm1::ClientLineLimitExceeded(rtl::TObject* sender, int, bool& clearData)
{
    auto* client = dynamic_cast<TControllerClient*>(sender);
    if (!client)
        return;
    DisplayLine("Line limit exceeded from " + client->PeerAddr() + ". Closing.");
    clearData = true;
    client->Close();
}

void TForm1::ClientBgException(rtl::TObject*, const std::exception&, bool& canClose)
{
    canClose = true;
}

void TForm1::ProcessLine(TControllerClient& client)
{
    const std::string& line = client.RcvdLine;
    if (client.Connected()) {
        const std::string peer = client.PeerAddr();
        int i = FindDeviceByIp(peer);
        if (i == -1) {
            DeviceIdentity identity = DeviceIdentityFromLine(line);
            auto item = std::make_unique<TConItem>();
            item->Ip = peer;
            item->DevNum = identity.DevNum;
            item->Side = identity.Side;
            item->Client = &client;
            ConList.push_back(std::move(item));
            ListView1->Add(FromCp1251(peer),
                           {identity.Side == "I" ? L"Info terminal" : L"Comtroller"});
        } else {
            ConList[static_cast<size_t>(i)]->Client = &client;
        }
    }
    if (IsKeepAlive(line) && client.Connected())
        client.SendStr(EchoFrame(line));
    DisplayLine(line);
    if (!line.empty() && line[0] == '#')
        DecodeLine(line);
}

void TForm1::DecodeLine(const std::string& line)
{
    ReplyEffects effects = DecodeReply(line);
    for (const DeviceInfoRow& row : effects.Rows)
        DeviceInfo->Add(row.Label, {row.Value});
    if (!effects.Controls.Empty())
        ApplyControlUpdates(effects.Controls);
}

int TForm1::FindDeviceByIp(const std::string& ip) const
{
    for (int i = DeviceCount() - 1; i >= 0; --i)
        if (ConList[static_cast<size_t>(i)]->Ip == ip)
            return i;
    return -1;
}

void TForm1::DisplayLine(const std::string& text)
{
    forms::TLines& lines = DisplayMemo->Lines();
    lines.BeginUpdate();
    if (lines.Count() > kMaxLogLines)
        for (int i = 0; i < kLogLinesDropped; ++i)
            lines.Delete(0);
    lines.Add(FromCp1251(text));
    lines.EndUpdate();
    DisplayMemo->ScrollToEnd();
}

ConfigControls TForm1::ReadConfigControls() const
{
    ConfigControls c;
    c.SpinEdit1 = SpinEdit1->Value();
    c.SpinEdit3 = SpinEdit3->Value();
    c.SpinEdit7 = SpinEdit7->Value();
    c.SpinEdit8 = SpinEdit8->Value();
    c.SpinEdit10 = SpinEdit10->Value();
    c.MaskEdit1 = MaskEdit1->Text();
    c.MaskEdit2 = MaskEdit2->Text();
    c.MaskEdit3 = MaskEdit3->Text();
    c.MaskEdit4 = MaskEdit4->Text();
    c.MaskEdit5 = MaskEdit5->Text();
    c.MaskEdit6 = MaskEdit6->Text();
    c.MaskEdit7 = MaskEdit7->Text();
    c.MaskEdit8 = MaskEdit8->Text();
    c.ComboBox1 = ComboBox1->ItemIndex();
    c.ComboBox2 = ComboBox2->ItemIndex();
    c.ComboBox3 = ComboBox3->ItemIndex();
    c.Edit1 = Edit1->Text();
    return c;
}

void TForm1::ApplyControlUpdates(const ControlUpdates& updates)
{
    ConfigControls c = ReadConfigControls();
    updates.ApplyTo(c);
    SpinEdit1->SetValue(c.SpinEdit1);
    SpinEdit3->SetValue(c.SpinEdit3);
    SpinEdit7->SetValue(c.SpinEdit7);
    SpinEdit8->SetValue(c.SpinEdit8);
    SpinEdit10->SetValue(c.SpinEdit10);
    MaskEdit1->SetText(c.MaskEdit1);
    MaskEdit2->SetText(c.MaskEdit2);
    MaskEdit3->SetText(c.MaskEdit3);
    MaskEdit4->SetText(c.MaskEdit4);
    MaskEdit5->SetText(c.MaskEdit5);
    MaskEdit6->SetText(c.MaskEdit6);
    MaskEdit7->SetText(c.MaskEdit7);
    MaskEdit8->SetText(c.MaskEdit8);
}

void TForm1::SendCommand(ConfigCommand command)
{
    int row = ListView1->ItemIndex();
    if (row < 0)
        return;
    const std::wstring device = ListView1->Item(row).Caption;
    // Read before the box: it pumps messages, and a reply decoded meanwhile
    // may reload the controls.
    PreparedCommand prepared = PrepareCommand(command, device, ReadConfigControls());
    if (!forms::ConfirmYesNo(prepared.Confirmation()))
        return;
    int i = FindDeviceByIp(ToCp1251(device));
    if (i == -1)
        return;
    const TConItem& item = *ConList[static_cast<size_t>(i)];
    std::string frame = prepared.Frame({item.DevNum, item.Side});
    item.Client->SendStr(frame);
    DisplayLine("Send ->" + frame);
}

void TForm1::Button2Click(rtl::TObject*)
{
    int row = ListView1->ItemIndex();
    if (row < 0)
        return;
    const std::wstring device = ListView1->Item(row).Caption;
    if (!forms::ConfirmYesNo(PollConfirmation(device)))
        return;
    int i = FindDeviceByIp(ToCp1251(device));
    if (i == -1)
        return;
    DeviceInfo->Clear();
    const TConItem& item = *ConList[static_cast<size_t>(i)];
    for (const std::string& frame : PollFrames({item.DevNum, item.Side})) {
        item.Client->SendStr(frame);
        DisplayLine("Send ->" + frame);
    }
}

void TForm1::Button3Click(rtl::TObject*) { SendCommand(ConfigCommand::Reset); }
void TForm1::Button4Click(rtl::TObject*) { SendCommand(ConfigCommand::PrimaryRelayA); }
void TForm1::Button5Click(rtl::TObject*) { SendCommand(ConfigCommand::SecondaryRelayA); }
void TForm1::Button6Click(rtl::TObject*) { SendCommand(ConfigCommand::SecondaryRelayB); }
void TForm1::Button7Click(rtl::TObject*) { SendCommand(ConfigCommand::PrimaryRelayB); }
void TForm1::Button8Click(rtl::TObject*) { SendCommand(ConfigCommand::RelayOffDelay); }
void TForm1::Button9Click(rtl::TObject*) { SendCommand(ConfigCommand::PanicRelay); }
void TForm1::Button10Click(rtl::TObject*) { SendCommand(ConfigCommand::PassWaitA); }
void TForm1::Button11Click(rtl::TObject*) { SendCommand(ConfigCommand::PassWaitB); }
void TForm1::Button12Click(rtl::TObject*) { SendCommand(ConfigCommand::FreeCommand); }

}  // namespace gatecfg
