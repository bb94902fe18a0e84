#pragma once
// The SSL level of the socket chain. SSL is off on every socket of this
// program, and with it off the level hands every call and event to the SOCKS
// layer below unchanged; the line layer and the server stand on this class.
#include "net/CalyxSocksXSocket.h"

namespace calyx {

class TCustomSslXSocket : public TCustomSocksXSocket {
public:
    explicit TCustomSslXSocket(rtl::TComponent* owner) : TCustomSocksXSocket(owner) {}

protected:
    ~TCustomSslXSocket() override = default;
};

}  // namespace calyx
