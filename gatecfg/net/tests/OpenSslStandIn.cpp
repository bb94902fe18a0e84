// A stand-in for one of OpenSSL's DLLs, for the loader tests: it defines
// every entry of the binding's list (the build's .def file chooses which are
// exported). Each entry takes whatever arguments the caller pushes (C calling
// convention) and returns 0, but for these, read from the environment when
// set: SSLeay (CX_STANDIN_SSLEAY, default 0x100020EF) and SSL_library_init
// (CX_STANDIN_LIBRARY_INIT, default 1). SSLeay_version names the stand-in.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#if defined(CX_STANDIN_LIBEAY)
#include "net/CalyxLIBEAY.h"
#define CX_STANDIN_ENTRIES CX_LIBEAY_ENTRIES
#else
#include "net/CalyxSSLEAY.h"
#define CX_STANDIN_ENTRIES CX_SSLEAY_ENTRIES
#endif

namespace {

long EnvironmentNumber(const char* name, long fallback)
{
    char text[32];
    const DWORD length = GetEnvironmentVariableA(name, text, sizeof text);
    if (length == 0 || length >= sizeof text)
        return fallback;
    return long(std::strtoul(text, nullptr, 0));
}

long StandInResult(const char* name)
{
    if (std::strcmp(name, "SSLeay") == 0)
        return EnvironmentNumber("CX_STANDIN_SSLEAY", 0x100020EF);
    if (std::strcmp(name, "SSL_library_init") == 0)
        return EnvironmentNumber("CX_STANDIN_LIBRARY_INIT", 1);
    if (std::strcmp(name, "SSLeay_version") == 0)
        return long(reinterpret_cast<uintptr_t>("OpenSSL stand-in"));
    return 0;
}

}  // namespace

#define CX_STANDIN_ENTRY(name, result, params)                                                     \
    extern "C" long name() { return StandInResult(#name); }
CX_STANDIN_ENTRIES(CX_STANDIN_ENTRY)
