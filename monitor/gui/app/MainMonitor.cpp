#include "MainMonitor.h"

#include "EventLine.h"
#include "EventLogFile.h"
#include "FrameWnd.h"
#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "frontend/MonitorGlue.h"
#include "LogView.h"
#include "StatusBar.h"
#include "win32/Handles.h"

#include <cassert>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr char kChannelName[] = "main_channel";
constexpr int kConnectionPane = 1;

void ConstructMainMonitor(void* payload, ControlBlock* cb)
{
    *static_cast<ControlBlock**>(payload) = cb;  // the rest is built by Create, with its arguments
}

void DestroyMainMonitor(void* payload)
{
    static_cast<CMainMonitor*>(payload)->~CMainMonitor();
}

}  // namespace

CMainMonitor* CMainMonitor::Create(ProviderList* providers, const MonitorSettings* settings)
{
    void* payload = nullptr;
    if (ObjCreateWithPayload(&payload, ConstructMainMonitor, DestroyMainMonitor, sizeof(CMainMonitor)) !=
        kStatusSuccess)
        return nullptr;
    return new (payload) CMainMonitor(ObjControlBlockOf(payload), providers, settings);
}

CMainMonitor::CMainMonitor(ControlBlock* cb, ProviderList* providers, const MonitorSettings* settings)
    : m_cb(cb), m_providers(providers), m_settings(settings)
{
    // The built flags keep the outcome; Connect looks at them.
    (void)ChannelMemberCreate(&m_channel, &m_channelBuilt, m_cb);
    (void)BindingMemberCreate(this, &m_binding);
}

CMainMonitor::~CMainMonitor()
{
    BindingMemberRelease(&m_binding);
    ChannelMemberRelease(&m_channel, &m_channelBuilt);
}

void CMainMonitor::Connect(CLogView* view, const AddressRecord* server)
{
    m_window = view;
    if (!m_channelBuilt || !m_binding.constructed || !server)
        return;
    m_binding.binding.threadId = GetWindowThreadProcessId(view->m_hWnd, nullptr);
    ClosureOwner onMessage;
    BindMember<CMainMonitor, &CMainMonitor::OnMessage>(onMessage.put(), this, &m_binding.binding.exec);
    (void)ChannelOpen(&m_channel, kChannelName, nullptr, 0, server, onMessage.get());  // silent if it cannot open
}

void CMainMonitor::OnMessage(BufferHandle* record)
{
    assert(RunsOnThread(m_binding.binding.threadId) && "records are shown on the window's thread");
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
