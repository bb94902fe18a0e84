// Owner of a Winsock socket.
#pragma once

#include <winsock2.h>

#include "win32/UniqueResource.h"

namespace win32 {

struct SocketTraits {
    using Value = SOCKET;
    static constexpr SOCKET kNone = INVALID_SOCKET;
    static bool Valid(SOCKET s) { return s != INVALID_SOCKET; }
    static void Close(SOCKET s) { closesocket(s); }
};

using UniqueSocket = UniqueResource<SocketTraits>;

}  // namespace win32
