#include "net/CalyxSSLEAY.h"

#include <memory>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxLibrary.h"
#include "net/CalyxOpenSslModule.h"
#include "net/CalyxWinSock.h"

namespace calyx {

namespace ssleay {
#define CX_DEFINE_ENTRY(name, result, params) T##name name = nullptr;
CX_SSLEAY_ENTRIES(CX_DEFINE_ENTRY)
#undef CX_DEFINE_ENTRY

namespace {
constexpr int SSL_CTRL_OPTIONS = 32;
constexpr int SSL_CTRL_SET_SESS_CACHE_SIZE = 42;
constexpr int SSL_CTRL_SET_SESS_CACHE_MODE = 44;
constexpr int SSL_CTRL_GET_RI_SUPPORT = 76;
constexpr int SSL_CTRL_SET_ECDH_AUTO = 94;
}  // namespace

long SSL_CTX_set_options(SSL_CTX* ctx, long options)
{
    return SSL_CTX_ctrl(ctx, SSL_CTRL_OPTIONS, options, nullptr);
}

long SSL_set_options(SSL* ssl, long options)
{
    return SSL_ctrl(ssl, SSL_CTRL_OPTIONS, options, nullptr);
}

long SSL_get_options(SSL* ssl)
{
    return SSL_ctrl(ssl, SSL_CTRL_OPTIONS, 0, nullptr);
}

long SSL_CTX_set_session_cache_mode(SSL_CTX* ctx, long mode)
{
    return SSL_CTX_ctrl(ctx, SSL_CTRL_SET_SESS_CACHE_MODE, mode, nullptr);
}

long SSL_session_reused(SSL* ssl)
{
    return SSL_ctrl(ssl, OpenSslCommands().GetSessionReused, 0, nullptr);
}

long SSL_CTX_sess_set_cache_size(SSL_CTX* ctx, long size)
{
    return SSL_CTX_ctrl(ctx, SSL_CTRL_SET_SESS_CACHE_SIZE, size, nullptr);
}

long SSL_CTX_set_ecdh_auto(SSL_CTX* ctx, long onoff)
{
    return SSL_CTX_ctrl(ctx, SSL_CTRL_SET_ECDH_AUTO, onoff, nullptr);
}

long SSL_get_secure_renegotiation_support(SSL* ssl)
{
    if (LibeayVersionNumber() < kOpenSslSecureRenegotiationVersion)
        return 0;
    return SSL_ctrl(ssl, SSL_CTRL_GET_RI_SUPPORT, 0, nullptr);
}
}  // namespace ssleay

namespace {

const TOpenSslEntry kEntries[] = {
#define CX_ENTRY(name, result, params)                                                             \
    {#name, [](FARPROC entry) { ssleay::name = ProcCast<ssleay::T##name>(entry); }},
    CX_SSLEAY_ENTRIES(CX_ENTRY)
#undef CX_ENTRY
};

TOpenSslModule& Module()
{
    static TOpenSslModule module("SSLEAY32.DLL", "*NOT_LOADED*", kEntries);
    return module;
}

std::string gFileVersion;
std::string gFileDescription;

// A string of a version block, or empty.
std::string VersionString(const void* block, const std::string& key)
{
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, key.c_str(), reinterpret_cast<void**>(&value), &length) || !value ||
        length == 0)
        return std::string();
    return lib::StrPas(value);
}

}  // namespace

bool GetFileVerInfo(const std::string& fileName, std::string& fileVersion,
                    std::string& fileDescription)
{
    fileVersion.clear();
    fileDescription.clear();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &handle);
    if (size == 0)
        return false;
    std::unique_ptr<char[]> block(new char[size]);
    if (!GetFileVersionInfoA(fileName.c_str(), 0, size, block.get()))
        return false;
    std::string language = "040904E4";
    WORD* translation = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.get(), "\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translation), &length) &&
        translation && length >= 2 * sizeof(WORD)) {
        const unsigned lang = translation[0] != 0 ? translation[0] : 1033;
        const unsigned codePage = translation[1] != 0 ? translation[1] : 1252;
        language = lib::Format("%.4x%.4x", lang, codePage);
    }
    const std::string prefix = "\\StringFileInfo\\" + language + "\\";
    fileVersion = VersionString(block.get(), prefix + "FileVersion");
    fileDescription = VersionString(block.get(), prefix + "FileDescription");
    return !fileVersion.empty();
}

bool LoadSsleay()
{
    TOpenSslModule& module = Module();
    if (module.Complete())
        return true;
    GetFileVerInfo(module.DllName(), gFileVersion, gFileDescription);
    const DWORD error = module.Open();
    if (error == ERROR_MOD_NOT_FOUND)
        throw ECxSsleayException("File not found: " + module.DllName());
    if (error != 0)
        throw ECxSsleayException("Unable to load " + module.DllName() + ". Win32 error #" +
                                 lib::UIntToStr(error));
    if (module.Resolve())
        return true;
    module.Release();
    return false;
}

void UnloadSsleay()
{
    Module().Release();
}

bool SsleayLoaded()
{
    return Module().Complete();
}

const std::string& SsleayDllName()
{
    return Module().DllName();
}

void SetSsleayDllName(const std::string& name)
{
    Module().SetDllName(name);
}

const std::string& SsleayModulePath()
{
    return Module().ModulePath();
}

const std::string& SsleayFileVersion()
{
    return gFileVersion;
}

const std::string& SsleayFileDescription()
{
    return gFileDescription;
}

}  // namespace calyx
