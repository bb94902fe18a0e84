#pragma once
#include "net/AddressRecord.h"
#include "ConsolePrinter.h"
#include "frontend/MessageProviderHost.h"
#include "frontend/MonitorGlue.h"
#include "ProviderTexts.h"
#include "exec/Strand.h"

// The console's monitor object: one channel to the log service, whose records
// are handled on the object's strand and printed through a ConsolePrinter.
// Reference counted; the control block sits in the first word.
class CConsoleMonitor {
public:
    // A new monitor printing to `screen` (both outlive it), with one strong
    // reference, and the providers of "quel.ini" loaded (a provider that cannot
    // be created is named on the screen); none when memory is short.
    static CConsoleMonitor* Create(ConsoleScreen& screen, DateTimeSource& clock);

    CConsoleMonitor(ControlBlock* cb, ConsoleScreen& screen, DateTimeSource& clock);
    ~CConsoleMonitor();
    CConsoleMonitor(const CConsoleMonitor&) = delete;
    CConsoleMonitor& operator=(const CConsoleMonitor&) = delete;

    // Opens "master_channel" to `server` for `device` (empty: all devices).
    void Connect(const char* device, bool dump, const AddressRecord* server);
    // A record from the channel, on the strand: port data is dumped, any other
    // record printed with its provider text.
    void OnMessage(BufferHandle* record);
    // The program's last line: no record is printed after it, even one that
    // the strand is printing as the program ends.
    void PrintLast(const char* text) { printer_.PrintLast(text); }

private:
    ControlBlock* cb_;
    MonitorLink<Strand> link_;
    ProviderList providers_;
    ProviderTexts texts_;
    ConsolePrinter printer_;
};

static_assert(sizeof(void*) == 4, "the monitor object keeps its control block in its first 32-bit word");
