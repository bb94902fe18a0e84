#pragma once
#include "channel/StreamStage.h"
#include "exec/EventHub.h"
#include "exec/OneShotTimer.h"
#include "exec/ReleaseNotifier.h"
#include "net/AddressRecord.h"
#include "runtime/IntrusiveList.h"
#include "runtime/ObjRef.h"
#include <windows.h>

// Keeps one stream connection to a remote endpoint alive: connects,
// reconnects after failures and losses, optionally listens, sends what is
// written into it and hands what it receives to its next stage. Everything
// that happens to the connection is published on its event hub. All work runs
// on the strand of its stage part; the tick and every socket completion hold
// the client weakly, so the client lives exactly as long as its owner keeps it.

// Event codes on the hub; payloads are the listed pieces concatenated.
enum ClientEventCode : uint32_t {
    ClientEventListen = 1,        // u32 status, the listen completion's record
    ClientEventListenClosed = 2,  // the listener's local record
    ClientEventConnect = 3,       // u32 status, remote record, local record
    ClientEventAccept = 4,        // the peer's record
    ClientEventDisconnect = 5,    // u32 reason, remote record, local record
    ClientEventFlushTimeout = 6,  // none
    ClientEventData = 256,        // the outgoing buffer handle itself
};

// Reasons of ClientEventDisconnect: bit 0 the end came from the other side, bit 1 a time-out.
enum ClientDisconnectReason : uint32_t {
    kDisconnectClosed = 0,
    kDisconnectPeerEnded = 1,
    kDisconnectAborted = 16,
    kDisconnectReadFailed = 17,
    kDisconnectIdle = 18,
};

// Milliseconds where a time; 0 switches the delays and the idle timeout off.
struct ClientSettings {
    uint32_t tickPeriod;      // 1000
    uint32_t relistenDelay;   // 0: a failed listen is not retried
    uint32_t reconnectDelay;  // 3000: 0, a failed connect is not retried by the tick
    uint32_t idleTimeout;     // 0
    uint32_t connectOption;   // passed to the socket connect
    uint32_t closeOption;     // passed to the socket close
    uint32_t flushDelay;      // 0: data that cannot be sent is dropped at once
};

static_assert(sizeof(ClientSettings) == 28, "the settings block is seven words");

extern const ClientSettings kClientDefaultSettings;

constexpr uint32_t kClientKeepConnected = 1;      // connect at once and after every loss
constexpr uint32_t kClientKeepOnAccept = 4;       // keep the current connection when another is accepted
constexpr uint32_t kClientNeverCloseGracefully = 8;

// Bytes of the state word.
enum ClientListenState : uint8_t { kListenNone = 0, kListenRequested = 2, kListenActive = 3 };
enum ClientConnectionState : uint8_t { kConnectionNone = 0, kConnecting = 4, kConnected = 5 };
enum ClientReceiveState : uint8_t { kReceiveIdle = 0, kReadPosted = 6, kDataHandedOn = 7 };

struct ClientState {
    uint8_t receiveEnabled;
    uint8_t listen;      // ClientListenState
    uint8_t connection;  // ClientConnectionState
    uint8_t receive;     // ClientReceiveState
};

static_assert(sizeof(ClientState) == 4, "the state word is four bytes");

constexpr uint32_t kClientOwnReceiveSize = 128;

struct ReconnectingClient {
    StreamStage stage;  // first: the client's control block and strand are the stage's
    OneShotTimer timer;
    uint8_t timerBuilt;
    EventHub hub;
    ClientSettings settings;
    uint32_t flags;
    ObjRef listener;
    ObjRef connection;
    ListHead pendingCloses;
    HANDLE idleEvent;  // manual reset: signalled while there is no connection and no close pending
    AddressRecord* listenAddress;
    AddressRecord* remoteAddress;
    AddressRecord* localAddress;
    BufferHandle receiveHandle;  // weak: the area each read goes into
    ReleaseNotifier receiveNotifier;
    uint8_t ownReceiveArea[kClientOwnReceiveSize];
    ClientState state;
    uint32_t connectSequence;
    uint32_t listenSequence;
    uint32_t receiveSequence;
    uint32_t closeSequence;
    uint32_t postedReadSequence;  // the receive sequence of the read in flight
    uint32_t connectRetryStart;   // clocks: GetTickCount() | 1 while running, 0 stopped
    uint32_t listenRetryStart;
    uint32_t activityStart;
    uint32_t flushStart;
};

static_assert(sizeof(void*) == 4, "clients are laid out in 32-bit words");

// Construct and destroy routines of kReconnectingClientType.
void ClientCreate(void* client, ControlBlock* cb);
void ClientDestroy(void* client);
extern const TypeDescriptor kReconnectingClientType;

// Each posts its work onto the client's strand and returns the posting status
// (0 or kStatusPending accepted, else the work does not run). Records are copied.
[[nodiscard]] NtStatus ClientSetParameters(ReconnectingClient* client, const ClientSettings* settings);
[[nodiscard]] NtStatus ClientSetFlags(ReconnectingClient* client, uint32_t flags);
// A NULL remote closes and forgets both addresses; a NULL local stands for any local address.
[[nodiscard]] NtStatus ClientConnect(ReconnectingClient* client, const AddressRecord* remote,
                                     const AddressRecord* local);
[[nodiscard]] NtStatus ClientConnectNow(ReconnectingClient* client);
[[nodiscard]] NtStatus ClientDisconnect(ReconnectingClient* client, uint32_t abort);
// Forgets the connection and every pending close without closing or
// publishing. A read of the old connection still in flight keeps the receive
// area: the next connection reads once that read is back.
[[nodiscard]] NtStatus ClientReset(ReconnectingClient* client);
[[nodiscard]] NtStatus ClientListen(ReconnectingClient* client, const AddressRecord* record);  // NULL: stop
[[nodiscard]] NtStatus ClientStopListen(ReconnectingClient* client);
[[nodiscard]] NtStatus ClientAdoptSocket(ReconnectingClient* client, void* endpoint);

// Elapsed milliseconds of a running clock; the millisecond counter's wrap is harmless.
inline uint32_t ClientClockElapsed(uint32_t start, uint32_t now) { return (now | 1) - start; }

// Points reads at the owner's area (held weakly on the owner's control block).
// For the owner's construction, before the client connects.
void ClientUseReceiveArea(ReconnectingClient* client, void* area, uint32_t size, ControlBlock* owner);
