#include "net/CalyxSslBase.h"

#include "net/CalyxLIBEAY.h"
#include "net/CalyxLibrary.h"
#include "net/CalyxSSLEAY.h"
#include "net/CalyxWinSock.h"

namespace calyx {

namespace {
int gSslUsageCount = 0;

void ReleaseModules()
{
    UnloadSsleay();
    UnloadLibeay();
}
}  // namespace

TSslLockGuard::TSslLockGuard(TSslLockIndex index) : FIndex(index)
{
    lib::EnterCriticalSection(CxSslLock(FIndex));
}

TSslLockGuard::~TSslLockGuard()
{
    lib::LeaveCriticalSection(CxSslLock(FIndex));
}

void LoadSsl()
{
    TSslLockGuard lock(kSslLockSsl);
    if (gSslUsageCount == 0) {
        if (!LoadLibeay()) {
            UnloadLibeay();
            throw ECxLibeayException("Unable to load LIBEAY DLL. Can't find ");
        }
        try {
            if (!LoadSsleay())
                throw ECxSsleayException("Unable to load SSLEAY DLL. Can't find ");
        } catch (...) {
            ReleaseModules();
            throw;
        }
        if (ssleay::SSL_library_init() != 1) {
            ReleaseModules();
            throw ECxSsleayException("Unable to initialize the SSL library (SSL_library_init)");
        }
        ssleay::SSL_load_error_strings();
        const DWORD tick = lib::GetTickCount();
        libeay::RAND_seed(&tick, sizeof tick);
    }
    ++gSslUsageCount;
}

void UnloadSsl()
{
    TSslLockGuard lock(kSslLockSsl);
    if (gSslUsageCount <= 0 || --gSslUsageCount > 0)
        return;
    libeay::ERR_remove_state(0);
    libeay::CONF_modules_unload(1);
    libeay::ERR_free_strings();
    libeay::EVP_cleanup();
    libeay::CRYPTO_cleanup_all_ex_data();
    ReleaseModules();
}

int SslUsageCount()
{
    TSslLockGuard lock(kSslLockSsl);
    return gSslUsageCount;
}

EVP_PKEY* AddPrivateKeyReference(EVP_PKEY* key)
{
    TSslLockGuard lock(kSslLockSsl);
    libeay::CRYPTO_add_lock(&key->references, 1, CRYPTO_LOCK_EVP_PKEY, __FILE__, __LINE__);
    return key;
}

std::string OpenSslErrorStackText(bool dump)
{
    char buffer[121];
    libeay::ERR_error_string_n(libeay::ERR_get_error(), buffer, sizeof buffer);
    std::string text = buffer;
    if (dump) {
        while (const unsigned long error = libeay::ERR_get_error()) {
            libeay::ERR_error_string_n(error, buffer, sizeof buffer);
            text += "\r\n";
            text += buffer;
        }
    }
    return text;
}

void TSslBaseComponent::SetCxLogger(TCxLogger* logger)
{
    FLoggerLink.Set(logger);
}

void TSslBaseComponent::Notification(rtl::TComponent* component, rtl::TOperation operation)
{
    rtl::TComponent::Notification(component, operation);
    FLoggerLink.Notification(component, operation);
}

bool TSslBaseComponent::CheckLogOptions(TLogOption option)
{
    return FLoggerLink.CheckLogOptions(option);
}

void TSslBaseComponent::DebugLog(TLogOption option, const std::string& text)
{
    FLoggerLink.DebugLog(option, text);
}

void RaiseOpenSslError(TExceptionClass exceptionClass, bool dump, const std::string& customMessage,
                       uint32_t& lastSslError)
{
    lastSslError = uint32_t(libeay::ERR_peek_error());
    const std::string stack = OpenSslErrorStackText(dump);
    if (customMessage.empty())
        exceptionClass("\r\n" + stack + "\r\n");
    else
        exceptionClass("\r\n" + customMessage + "\r\n" + stack + "\r\n");
    throw rtl::EAssertionFailed("an exception class that does not raise");
}

void TSslBaseComponent::RaiseLastOpenSslError(TExceptionClass exceptionClass, bool dump,
                                              const std::string& customMessage)
{
    RaiseOpenSslError(exceptionClass, dump, customMessage, LastSslError);
}

void TSslBaseComponent::InitializeSsl()
{
    if (FSslLoaded)
        return;
    LoadSsl();
    FSslLoaded = true;
}

TSslBaseComponent::~TSslBaseComponent()
{
    if (FSslLoaded) {
        FSslLoaded = false;
        UnloadSsl();
    }
}

TSslBaseComponent* SslComponentOf(const SSL_CTX* ctx)
{
    return ctx ? static_cast<TSslBaseComponent*>(ssleay::SSL_CTX_get_ex_data(ctx, 0)) : nullptr;
}

}  // namespace calyx
