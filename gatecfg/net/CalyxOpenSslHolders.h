#pragma once
// Scoped owners of the OpenSSL objects that the SSL units make and drop again.
#include <string>

#include "net/CalyxLIBEAY.h"

namespace calyx {

// Frees a BIO when it goes out of scope.
class TBioHolder {
public:
    explicit TBioHolder(BIO* bio) : FBio(bio) {}
    ~TBioHolder()
    {
        if (FBio)
            libeay::BIO_free(FBio);
    }
    TBioHolder(const TBioHolder&) = delete;
    TBioHolder& operator=(const TBioHolder&) = delete;
    BIO* Get() const noexcept { return FBio; }

private:
    BIO* FBio;
};

// Frees a stack and what it holds when it goes out of scope.
class TStackHolder {
public:
    TStackHolder(_STACK* stack, TStackFreeFunc freeItem) : FStack(stack), FFreeItem(freeItem) {}
    ~TStackHolder()
    {
        if (FStack)
            libeay::sk_pop_free(FStack, FFreeItem);
    }
    TStackHolder(const TStackHolder&) = delete;
    TStackHolder& operator=(const TStackHolder&) = delete;
    _STACK* Get() const noexcept { return FStack; }

private:
    _STACK* FStack;
    TStackFreeFunc FFreeItem;
};

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
