#pragma once
// Types shared by the units of the socket library.
#include <windows.h>

#include <cstdint>

#include "rtl/Exception.h"

namespace calyx {

static_assert(sizeof(void*) == 4, "window extra words and message parameters hold 32-bit pointers");

// A window message as handed to a component; the handler sets Result.
struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

class ECxException : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

}  // namespace calyx
