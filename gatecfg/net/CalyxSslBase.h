#pragma once
// The counted use of the OpenSSL libraries and the base of the SSL support
// components. Nothing here runs unless a socket switches SSL on.
//
// Threads: the libraries' threading callbacks are bound but not installed, so
// OpenSSL keeps no locks of its own; every SSL socket of a process must stay
// on one thread. The eight process-wide SSL locks (CxSslLock) serialise the
// load state and each kind of callback.
#include <cstdint>
#include <string>

#include "net/CalyxLogger.h"
#include "net/CalyxLoggerLink.h"
#include "net/CalyxOpenSslTypes.h"
#include "rtl/Component.h"
#include "rtl/Exception.h"

namespace calyx {

// OpenSSL failures of a connection.
class EOpenSslError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Certificate operations.
class EX509Exception : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Context configuration.
class ESslContextException : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// The indices of the SSL locks (CxSslLock), in their order of creation.
enum TSslLockIndex {
    kSslLockPassword,
    kSslLockVerify,
    kSslLockInfo,
    kSslLockRemoveSession,
    kSslLockNewSession,
    kSslLockGetSession,
    kSslLockClientCert,
    kSslLockSsl,  // library load and unload, SSL_new, key references
};

// Holds one of the SSL locks for its lifetime.
class TSslLockGuard {
public:
    explicit TSslLockGuard(TSslLockIndex index);
    ~TSslLockGuard();
    TSslLockGuard(const TSslLockGuard&) = delete;
    TSslLockGuard& operator=(const TSslLockGuard&) = delete;

private:
    TSslLockIndex FIndex;
};

// Takes one use of both libraries, loading them when there was none. A load
// that fails releases whatever it loaded, raises and counts nothing.
void LoadSsl();
// Gives one use back; the last one cleans OpenSSL up and frees both modules.
void UnloadSsl();
int SslUsageCount();

// Takes one more reference to the key (under the SSL lock) and returns it.
EVP_PKEY* AddPrivateKeyReference(EVP_PKEY* key);

// The calling thread's OpenSSL error queue as text: the oldest error, and
// with dump every further one after CR LF. Reading empties the queue.
std::string OpenSslErrorStackText(bool dump);

// Stands for an exception class: raises one with the message.
using TExceptionClass = void (*)(const std::string& message);
template <class E>
[[noreturn]] void RaiseAs(const std::string& message)
{
    throw E(message);
}

// lastSslError := the head of the error queue; raises the class with
// CR LF [+ custom + CR LF] + the error stack + CR LF.
[[noreturn]] void RaiseOpenSslError(TExceptionClass exceptionClass, bool dump,
                                    const std::string& customMessage, uint32_t& lastSslError);

class TSslBaseComponent : public rtl::TComponent {
public:
    explicit TSslBaseComponent(rtl::TComponent* owner) : rtl::TComponent(owner) {}

    TCxLogger* CxLogger() const noexcept { return FLoggerLink.Get(); }
    virtual void SetCxLogger(TCxLogger* logger);
    virtual void DebugLog(TLogOption option, const std::string& text);
    virtual bool CheckLogOptions(TLogOption option);
    // RaiseOpenSslError with LastSslError.
    [[noreturn]] virtual void RaiseLastOpenSslError(TExceptionClass exceptionClass, bool dump,
                                                    const std::string& customMessage);

    // Takes this object's one use of the libraries, once.
    void InitializeSsl();
    bool SslLoaded() const noexcept { return FSslLoaded; }
    uint32_t LastSslError = 0;

protected:
    ~TSslBaseComponent() override;
    void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

private:
    bool FSslLoaded = false;
    TCxLoggerLink FLoggerLink{*this};
};

// The component in ex-data slot 0 of an OpenSSL context, or none: the SSL
// context component stores itself there, as its TSslBaseComponent, for the
// engine's callbacks.
TSslBaseComponent* SslComponentOf(const SSL_CTX* ctx);

}  // namespace calyx
