#pragma once
// Scoped owners of the OpenSSL objects that the SSL units make and drop again.
#include <string>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxSSLEAY.h"
#include "rtl/Owner.h"

namespace calyx {

// A stack that frees what it holds with FreeItem as it goes.
template <TStackFreeFunc FreeItem>
struct TStackTraits {
    using Value = _STACK*;
    static constexpr Value None = nullptr;
    static bool Valid(Value stack) noexcept { return stack != nullptr; }
    static void Free(Value stack) { libeay::sk_pop_free(stack, FreeItem); }
};

using TBioHolder = rtl::TOwner<rtl::TPointerTraits<BIO, &libeay::BIO_free>>;
template <TStackFreeFunc FreeItem>
using TStackHolder = rtl::TOwner<TStackTraits<FreeItem>>;
using TX509Holder = rtl::TOwner<rtl::TPointerTraits<X509, &libeay::X509_free>>;
using TPrivateKeyHolder = rtl::TOwner<rtl::TPointerTraits<EVP_PKEY, &libeay::EVP_PKEY_free>>;
using TSslCtxHolder = rtl::TOwner<rtl::TPointerTraits<SSL_CTX, &ssleay::SSL_CTX_free>>;

// A memory BIO, read back as text.
class TMemoryBio : public TBioHolder {
public:
    TMemoryBio() : TBioHolder(libeay::BIO_new(libeay::BIO_s_mem())) {}
    std::string Text() const
    {
        std::string text;
        char chunk[512];
        int n;
        while (Get() && (n = libeay::BIO_read(Get(), chunk, sizeof chunk)) > 0)
            text.append(chunk, size_t(n));
        return text;
    }
};

}  // namespace calyx
