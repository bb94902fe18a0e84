#include "MainMonitor.h"

#include "EventLine.h"
#include "EventLogFile.h"
#include "FrameWnd.h"
#include "exec/CurrentExecutor.h"
#include "LogView.h"
#include "StatusBar.h"
#include "win32/Handles.h"

#include <cassert>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kChannelName[] = "main_channel";
constexpr int kConnectionPane = 1;


}  // namespace

CMainMonitor* CMainMonitor::Create(ProviderList* providers, const MonitorSettings* settings)
{
    return CreateMonitorObject<CMainMonitor>(providers, settings);
}

CMainMonitor::CMainMonitor(ControlBlock* cb, ProviderList* providers, const MonitorSettings* settings)
    : m_cb(cb), m_link(cb, kThreadBindingType), m_providers(providers), m_settings(settings)
{
}

void CMainMonitor::Connect(CLogView* view, const AddressRecord* server)
{
    m_window = view;
    m_link.executor().threadId = GetWindowThreadProcessId(view->m_hWnd, nullptr);
    m_link.Open<CMainMonitor, &CMainMonitor::OnMessage>(this, kChannelName, nullptr, 0, server);
}

void CMainMonitor::OnMessage(BufferHandle* record)
{
    assert(RunsOnThread(m_link.executor().threadId) && "records are shown on the window's thread");
    MonitorRecordView view;
    if (!m_window || !SplitMonitorRecord(record->data, record->size, &view))
        return;
    switch (view.code) {
    case MonitorCodeLogServiceConnect: {
        uint32_t status = 0;
        if (view.payloadLength < sizeof status)
            return;
        std::memcpy(&status, view.payload, sizeof status);
        char text[32];
        std::snprintf(text, sizeof text, "CAN'T CONNECT (%x)", static_cast<unsigned>(status));
        ShowConnection(status == 0 ? "CONNECTED" : text);
        return;
    }
    case MonitorCodeLogServiceClose:
        ShowConnection("DISCONNECTED");
        return;
    default:
        ShowEvent(view);
    }
}

void CMainMonitor::ShowConnection(const char* text)
{
    auto* frame = dynamic_cast<CFrameWnd*>(m_window->GetParent());
    if (auto* status = frame ? dynamic_cast<CStatusBar*>(frame->GetControlBar(IDW_STATUS_BAR)) : nullptr)
        status->SetPaneText(kConnectionPane, text);
}

void CMainMonitor::ShowEvent(const MonitorRecordView& record)
{
    QUEL_MESSAGE_TYPE severity = QUEL_MSG_INFO;
    win32::UniqueBstr provided;  // freed however the line ends
    const HRESULT result =
        FormatWithProviders(m_providers, static_cast<long>(record.code), record.payload,
                            static_cast<long>(record.payloadLength), &severity, provided.put());
    const std::string text = FAILED(result) ? UnknownMessageText(record.code) : ProviderTextToAnsi(provided.get());
    const SeverityEntry& entry = EntryForSeverity(*m_settings, severity);
    if (!entry.Log)
        return;
    const std::string line = BuildEventLine(m_settings->MessagePrefix, LocalDateTimeText(),
                                            std::string(record.name, record.nameLength), entry.TypeTag, text);
    m_window->AppendLine(&entry.CharFormat, line);
    if (m_settings->WriteLogFile)
        AppendEventLine(m_settings->LogFileName, line);
}
