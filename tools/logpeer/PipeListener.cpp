#include "PipeListener.h"

#include <vector>

namespace logpeer {

namespace {

constexpr int kSpareInstances = 2;  // one more while the other is being handed on
constexpr DWORD kPipeBuffer = 4096;

// A server instance with its connect in flight.
struct WaitingInstance {
    win32::UniqueHandle pipe;
    win32::UniqueHandle event = win32::MakeEvent();
    OVERLAPPED ov{};
    bool pending = false;

    ~WaitingInstance() { Withdraw(); }

    // Ends the wait; returns the pipe when a client connected meanwhile. Under Wine the system
    // still writes the OVERLAPPED after the handle is closed with a connect pending: cancel and
    // wait for the end before letting go.
    win32::UniqueHandle Withdraw()
    {
        bool connected = false;
        if (pending) {
            CancelIo(pipe.get());
            DWORD bytes;
            connected = GetOverlappedResult(pipe.get(), &ov, &bytes, TRUE) != 0;
            pending = false;
        }
        if (connected)
            return win32::UniqueHandle(pipe.release());
        pipe.reset();
        return win32::UniqueHandle();
    }
};

HANDLE CreateInstance(const std::string& path)
{
    return CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, kPipeBuffer,
                            kPipeBuffer, 3000, nullptr);
}

// Creates the instance and starts its connect; true with `connected` when a client was already there.
bool Arm(const std::string& path, WaitingInstance& w, bool& connected, DWORD& error)
{
    connected = false;
    w.pipe.reset(CreateInstance(path));
    if (!w.pipe) {
        error = GetLastError();
        return false;
    }
    w.ov = OVERLAPPED{};
    w.ov.hEvent = w.event.get();
    ResetEvent(w.event.get());
    if (ConnectNamedPipe(w.pipe.get(), &w.ov)) {
        connected = true;
        return true;
    }
    error = GetLastError();
    if (error == ERROR_PIPE_CONNECTED) {
        connected = true;
        return true;
    }
    if (error == ERROR_IO_PENDING) {
        w.pending = true;
        return true;
    }
    w.pipe.reset();
    return false;
}

}  // namespace

PipeListener::PipeListener(std::string path, AcceptFn onAccept) : path_(std::move(path)), onAccept_(std::move(onAccept))
{
}

PipeListener::~PipeListener() { Stop(); }

bool PipeListener::Start(DWORD& error)
{
    if (thread_.joinable())
        return true;
    stop_ = win32::MakeEvent();
    command_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ready_ = win32::MakeEvent();
    done_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    startError_ = 0;
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_.get(), INFINITE);
    error = startError_;
    if (error != 0) {
        thread_.join();
        return false;
    }
    return true;
}

void PipeListener::Stop()
{
    if (!thread_.joinable())
        return;
    SetEvent(stop_.get());
    thread_.join();
}

void PipeListener::SetBusy(bool busy)
{
    InterlockedExchange(&busy_, busy ? 1 : 0);
    if (!thread_.joinable())
        return;
    SetEvent(command_.get());
    WaitForSingleObject(done_.get(), INFINITE);
}

void PipeListener::Run()
{
    std::vector<WaitingInstance> spares(kSpareInstances);
    win32::UniqueHandle plugServer, plugClient;
    bool busyNow = false;

    // Arms every idle spare; hands on those a client reached at once. False with `error` on failure.
    auto armAll = [&](DWORD& error) {
        for (auto& w : spares) {
            while (!w.pipe) {
                bool connected;
                if (!Arm(path_, w, connected, error))
                    return false;
                if (connected)
                    onAccept_(win32::UniqueHandle(w.pipe.release()));
            }
        }
        return true;
    };

    DWORD error = 0;
    if (!armAll(error)) {
        spares.clear();
        startError_ = error;
        SetEvent(ready_.get());
        return;
    }
    SetEvent(ready_.get());

    for (;;) {
        std::vector<HANDLE> waits = {stop_.get(), command_.get()};
        for (auto& w : spares)
            if (w.pending)
                waits.push_back(w.event.get());
        bool idleSlot = !busyNow && waits.size() < 2 + spares.size();  // retry a failed re-arm soon
        DWORD r =
            WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, idleSlot ? 200 : INFINITE);
        if (r == WAIT_OBJECT_0)
            break;
        for (auto& w : spares) {
            if (!w.pending || WaitForSingleObject(w.event.get(), 0) != WAIT_OBJECT_0)
                continue;
            DWORD bytes;
            bool ok = GetOverlappedResult(w.pipe.get(), &w.ov, &bytes, FALSE) != 0;
            w.pending = false;
            if (ok) {
                onAccept_(win32::UniqueHandle(w.pipe.release()));
            } else {
                w.pipe.reset();  // a failed connect is no connection: re-arm the slot
            }
        }
        bool wantBusy = InterlockedCompareExchange(&busy_, 0, 0) != 0;
        if (wantBusy != busyNow) {
            busyNow = wantBusy;
            if (busyNow) {
                plugServer.reset(CreateInstance(path_));
                for (auto& w : spares) {
                    win32::UniqueHandle late = w.Withdraw();
                    if (late)
                        onAccept_(std::move(late));
                }
                plugClient.reset(
                    CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            } else {
                plugClient.reset();
                plugServer.reset();
            }
        }
        if (!busyNow)
            armAll(error);
        if (r == WAIT_OBJECT_0 + 1)
            SetEvent(done_.get());
    }
    for (auto& w : spares) {
        win32::UniqueHandle late = w.Withdraw();
        if (late)
            onAccept_(std::move(late));
    }
}

}  // namespace logpeer
