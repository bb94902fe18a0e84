// The main form of gatecfg: the list of connected controllers, the traffic
// log, the decoded parameters of the polled controller and the pages of
// configuration commands.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ConfigCommands.h"
#include "ConfigControls.h"
#include "ControllerServer.h"
#include "forms/Button.h"
#include "forms/ComboBox.h"
#include "forms/Edit.h"
#include "forms/Form.h"
#include "forms/ListView.h"
#include "forms/MaskEdit.h"
#include "forms/Memo.h"
#include "forms/PageControl.h"
#include "forms/SpinEdit.h"
#include "forms/Static.h"

namespace calyx {
class TCxLogger;
}

namespace gatecfg {

// A learned controller, keyed by its peer IP address.
struct TConItem {
    std::string Ip;
    std::string DevNum;
    std::string Side;
    TControllerClient* Client = nullptr;  // the address's newest connection
};

class TForm1 : public forms::TForm {
public:
    TForm1(rtl::TComponent* owner, std::unique_ptr<TControllerServer> server);

    TControllerServer* XSocketServer1 = nullptr;
    calyx::TCxLogger* CxLogger1 = nullptr;
    forms::TListView* ListView1 = nullptr;
    forms::TListView* DeviceInfo = nullptr;
    forms::TMemo* DisplayMemo = nullptr;
    forms::TButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr,
                   *Button5 = nullptr, *Button6 = nullptr, *Button7 = nullptr, *Button8 = nullptr,
                   *Button9 = nullptr, *Button10 = nullptr, *Button11 = nullptr, *Button12 = nullptr;
    forms::TPageControl* PageControl1 = nullptr;
    forms::TTabSheet *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr,
                     *TabSheet4 = nullptr, *TabSheet5 = nullptr;
    forms::TSpinEdit *SpinEdit1 = nullptr, *SpinEdit3 = nullptr, *SpinEdit7 = nullptr,
                     *SpinEdit8 = nullptr, *SpinEdit10 = nullptr;
    forms::TMaskEdit *MaskEdit1 = nullptr, *MaskEdit2 = nullptr, *MaskEdit3 = nullptr,
                     *MaskEdit4 = nullptr, *MaskEdit5 = nullptr, *MaskEdit6 = nullptr,
                     *MaskEdit7 = nullptr, *MaskEdit8 = nullptr;
    forms::TComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr, *ComboBox3 = nullptr;
    forms::TEdit* Edit1 = nullptr;
    forms::TRichEdit* RichEdit1 = nullptr;
    forms::TPanel *Panel1 = nullptr, *Panel2 = nullptr, *Panel3 = nullptr, *Panel4 = nullptr;
    forms::TLabel* Label[19] = {};  // Label1 to Label18 at their numbers
    forms::TBevel *Bevel1 = nullptr, *Bevel2 = nullptr, *Bevel3 = nullptr, *Bevel4 = nullptr;

    void FormCreate(rtl::TObject* sender);
    void FormDestroy(rtl::TObject* sender);
    void Button1Click(rtl::TObject* sender);
    void Button2Click(rtl::TObject* sender);
    void Button3Click(rtl::TObject* sender);
    void Button4Click(rtl::TObject* sender);
    void Button5Click(rtl::TObject* sender);
    void Button6Click(rtl::TObject* sender);
    void Button7Click(rtl::TObject* sender);
    void Button8Click(rtl::TObject* sender);
    void Button9Click(rtl::TObject* sender);
    void Button10Click(rtl::TObject* sender);
    void Button11Click(rtl::TObject* sender);
    void Button12Click(rtl::TObject* sender);
    void ListView1SelectItem(rtl::TObject* sender, int item, bool selected);
    void XSocketServer1ClientConnect(rtl::TObject* sender, TControllerClient* client, int error);
    void XSocketServer1ClientDisconnect(rtl::TObject* sender, TControllerClient* client, int error);
    void XSocketServer1SessionClosed(rtl::TObject* sender, int error);
    void XSocketServer1BgException(rtl::TObject* sender, const std::exception& e, bool& canClose);
    void ClientDataAvailable(rtl::TObject* sender, int error);
    void ClientLineLimitExceeded(rtl::TObject* sender, int rcvdLength, bool& clearData);
    void ClientBgException(rtl::TObject* sender, const std::exception& e, bool& canClose);

    // Appends a line of wire text to the traffic log, dropping the oldest 50
    // lines first once it holds more than 200.
    void DisplayLine(const std::string& text);
    // The newest record of the address, -1 for none.
    int FindDeviceByIp(const std::string& ip) const;
    void ProcessLine(TControllerClient& client);

    int DeviceCount() const { return static_cast<int>(ConList.size()); }
    const TConItem& Device(int index) const { return *ConList.at(static_cast<size_t>(index)); }

    // Where the start button listens; tests listen on 127.0.0.1 port "0".
    void SetListenPort(const std::string& port) { FListenPort = port; }
    void SetListenAddr(const std::string& addr) { FListenAddr = addr; }

    // The configuration controls' values, and loading a reply's values into them.
    ConfigControls ReadConfigControls() const;
    void ApplyControlUpdates(const ControlUpdates& updates);

private:
    void BuildLayout();
    void BuildRelayPage();
    void BuildOtherPages();
    void SendCommand(ConfigCommand command);
    void DecodeLine(const std::string& line);
    void ClearDevices();

    std::unique_ptr<TControllerServer> FServer;
    std::vector<std::unique_ptr<TConItem>> ConList;
    std::string FListenPort = "1001";
    std::string FListenAddr = "0.0.0.0";
};

}  // namespace gatecfg
