#pragma once
// OpenSSL's heap under watch: while a TOpenSslHeapWatch lives, the genuine
// libraries allocate through counting routines, which count the live blocks
// and refuse (and count) the free of a block they do not hold, such as a
// second free of the same block. OpenSSL takes such routines only before its
// first allocation, so the watch loads the crypto library itself and must
// come before any other use of it.
#include <windows.h>

#include <cstddef>

namespace ssltest {

class TOpenSslHeapWatch {
public:
    TOpenSslHeapWatch();
    ~TOpenSslHeapWatch();
    TOpenSslHeapWatch(const TOpenSslHeapWatch&) = delete;
    TOpenSslHeapWatch& operator=(const TOpenSslHeapWatch&) = delete;

    // False when OpenSSL had already allocated (or is missing).
    bool Installed() const noexcept { return FInstalled; }
    static size_t LiveBlocks();
    static int BadFrees();

private:
    HMODULE FModule;
    bool FInstalled = false;
};

}  // namespace ssltest
