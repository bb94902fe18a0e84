#include "net/CalyxLIBEAY.h"

#include "net/CalyxLibrary.h"
#include "net/CalyxOpenSslModule.h"
#include "net/CalyxUtils.h"
#include "net/CalyxWinSock.h"

namespace calyx {

namespace libeay {
#define CX_DEFINE_ENTRY(name, result, params) T##name name = nullptr;
CX_LIBEAY_ENTRIES(CX_DEFINE_ENTRY)
#undef CX_DEFINE_ENTRY
}  // namespace libeay

namespace {

const TOpenSslEntry kEntries[] = {
#define CX_ENTRY(name, result, params)                                                             \
    {#name, [](FARPROC entry) { libeay::name = ProcCast<libeay::T##name>(entry); }},
    CX_LIBEAY_ENTRIES(CX_ENTRY)
#undef CX_ENTRY
};

// Some builds lack it; nothing calls it unchecked.
constexpr char kOptionalEntry[] = "X509_PKEY_free";

TOpenSslModule& Module()
{
    static TOpenSslModule module("LIBEAY32.DLL", "*NOT LOADED*", kEntries);
    return module;
}

constexpr TOpenSslCommands kOldCommands = {12, 6, 4099, 4100};
constexpr TOpenSslCommands kNewCommands = {14, 8, 4100, 4096};

struct TLibeayVersion {
    unsigned long Number = 0;
    bool Narrow = false;
    TOpenSslCommands Commands = kOldCommands;
};
TLibeayVersion gVersion;

void SetVersion(unsigned long number)
{
    gVersion.Number = number;
    gVersion.Narrow = number >= 0x009080CF && number <= 0x009080EE;
    gVersion.Commands = number >= kOpenSslVersionSwitch ? kNewCommands : kOldCommands;
}

}  // namespace

bool LoadLibeay()
{
    TOpenSslModule& module = Module();
    if (module.Complete())
        return true;
    const DWORD error = module.Open();
    if (error != 0)
        throw ECxLibeayException("Unable to load " + module.DllName() + ". Error #" +
                                 lib::UIntToStr(error) + "\r\n" + lib::SysErrorMessage(error));
    const bool complete = module.Resolve(kOptionalEntry);
    if (!libeay::SSLeay || !complete) {
        UnloadLibeay();
        return false;
    }
    SetVersion(libeay::SSLeay());
    return true;
}

void UnloadLibeay()
{
    Module().Release();
    gVersion = TLibeayVersion();
}

bool LibeayLoaded()
{
    return Module().Complete();
}

const std::string& LibeayDllName()
{
    return Module().DllName();
}

void SetLibeayDllName(const std::string& name)
{
    Module().SetDllName(name);
}

const std::string& LibeayModulePath()
{
    return Module().ModulePath();
}

unsigned long LibeayVersionNumber()
{
    return gVersion.Number;
}

bool LibeayNarrowVersion()
{
    return gVersion.Narrow;
}

const TOpenSslCommands& OpenSslCommands()
{
    return gVersion.Commands;
}

int BioGetFlags(const BIO* bio)
{
    return bio->flags;
}

bool BioShouldRetry(const BIO* bio)
{
    return (BioGetFlags(bio) & BIO_FLAGS_SHOULD_RETRY) != 0;
}

std::string OpenSslVersionText()
{
    return lib::StrPas(libeay::SSLeay_version(0));
}

int CallFunction(FARPROC routine)
{
    return ProcCast<int(__cdecl*)()>(routine)();
}

std::wstring BmpStringToWide(const unsigned char* bytes, int length)
{
    std::wstring out;
    for (int i = 0; i + 1 < length; i += 2)
        out += wchar_t(bytes[i] * 256 + bytes[i + 1]);
    return out;
}

std::string Asn1StringToText(const ASN1_STRING* text)
{
    if (!text || !text->data || text->length <= 0)
        return std::string();
    const char* bytes = reinterpret_cast<const char*>(text->data);
    switch (text->type) {
    case V_ASN1_OCTET_STRING:
        return HexDump(text->data, text->length, ':');
    case V_ASN1_UTF8STRING:
        return Utf8ToCodePage(std::string(bytes, size_t(text->length)), CP_ACP);
    case V_ASN1_BMPSTRING:
        return WideToAnsi(BmpStringToWide(text->data, text->length));
    default:
        return std::string(bytes, size_t(text->length));
    }
}

}  // namespace calyx
