// One accepted connection's overlapped byte stream: a server pipe instance or a TCP socket.
// Every call is made on the connection's own thread (CancelIo only cancels that thread's I/O).
#pragma once

#include <memory>

#include "win32/Handles.h"
#include "win32/UniqueSocket.h"

namespace logpeer {

class Stream {
public:
    virtual ~Stream() = default;
    // Start an overlapped operation whose completion signals ov->hEvent; false with `error` when
    // it failed at once. A read that ends with 0 bytes means the other end closed.
    virtual bool BeginRead(void* data, DWORD size, OVERLAPPED* ov, DWORD& error) = 0;
    virtual bool BeginWrite(const void* data, DWORD size, OVERLAPPED* ov, DWORD& error) = 0;
    // Result of a started operation; `wait` blocks until it has finished.
    virtual bool Finish(OVERLAPPED* ov, bool wait, DWORD& bytes, DWORD& error) = 0;
    virtual void Cancel() = 0;
    virtual void Close() = 0;
};

std::unique_ptr<Stream> MakePipeStream(win32::UniqueHandle pipe);
std::unique_ptr<Stream> MakeSocketStream(win32::UniqueSocket socket);

}  // namespace logpeer
