#include "net/CalyxX509.h"

#include <vector>

#include "net/CalyxFileMask.h"
#include "net/CalyxLIBEAY.h"
#include "net/CalyxLibrary.h"
#include "net/CalyxOpenSslHolders.h"
#include "net/CalyxWinSock.h"

namespace calyx {

namespace {

constexpr unsigned kSha1Length = 20;

// The dotted text of an object, as i2a_ASN1_OBJECT writes it.
std::string ObjectText(ASN1_OBJECT* object)
{
    TMemoryBio bio;
    if (!bio.Get())
        return std::string();
    libeay::i2a_ASN1_OBJECT(bio.Get(), object);
    return bio.Text();
}

std::string ShortNameOf(X509_EXTENSION* ext)
{
    ASN1_OBJECT* object = libeay::X509_EXTENSION_get_object(ext);
    const int nid = libeay::OBJ_obj2nid(object);
    return nid != NID_undef ? lib::StrPas(libeay::OBJ_nid2sn(nid)) : ObjectText(object);
}

std::string ValueListText(_STACK* values)
{
    std::string text;
    const int count = values ? libeay::sk_num(values) : 0;
    for (int i = 0; i < count; ++i) {
        const auto* pair = static_cast<const CONF_VALUE*>(libeay::sk_value(values, i));
        const std::string name = lib::StrPas(pair->name);
        const std::string value = lib::StrPas(pair->value);
        if (i > 0)
            text += "\r\n";
        text += name;
        if (!name.empty() && !value.empty())
            text += "=";
        text += value;
    }
    return text;
}

void __cdecl FreeConfValue(void* value)
{
    libeay::X509V3_conf_free(static_cast<CONF_VALUE*>(value));
}

// A decoded extension value written as text by its method.
std::string MethodText(const X509V3_EXT_METHOD* method, void* decoded)
{
    if (method->i2s) {
        char* text = method->i2s(method, decoded);
        const std::string out = lib::StrPas(text);
        if (text)
            libeay::CRYPTO_free(text);
        return out;
    }
    if (method->i2v) {
        _STACK* values = method->i2v(method, decoded, nullptr);
        const std::string out = ValueListText(values);
        if (values)
            libeay::sk_pop_free(values, &FreeConfValue);
        return out;
    }
    if (method->i2r) {
        TMemoryBio bio;
        if (!bio.Get())
            return std::string();
        method->i2r(method, decoded, bio.Get(), 0);
        std::string text = bio.Text();
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return lib::StringReplace(text, "\n", "\r\n", rtl::rfReplaceAll);
    }
    return std::string();
}

std::string ExtensionValue(X509_EXTENSION* ext)
{
    ASN1_OCTET_STRING* data = libeay::X509_EXTENSION_get_data(ext);
    const X509V3_EXT_METHOD* method = libeay::X509V3_EXT_get(ext);
    if (!method || !data)
        return Asn1StringToText(data);
    const unsigned char* in = data->data;
    const ASN1_ITEM* item = method->it ? method->it() : nullptr;
    void* decoded = nullptr;
    if (item)
        decoded = libeay::ASN1_item_d2i(nullptr, &in, data->length, item);
    else if (method->d2i)
        decoded = method->d2i(nullptr, &in, data->length);
    if (!decoded)
        return Asn1StringToText(data);
    struct TDecodedFree {
        const X509V3_EXT_METHOD* Method;
        const ASN1_ITEM* Item;
        void* Value;
        ~TDecodedFree()
        {
            if (Item)
                libeay::ASN1_item_free(static_cast<ASN1_VALUE*>(Value), Item);
            else if (Method->ext_free)
                Method->ext_free(Value);
        }
    } release{method, item, decoded};
    return MethodText(method, decoded);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsAddressLiteral(const std::string& host)
{
    return IsDottedIP(host) || host.find(':') != std::string::npos;
}

// "*." followed by at least two labels without wildcard characters.
bool IsAcceptedWildcard(const std::string& name)
{
    if (name.size() < 2 || name.compare(0, 2, "*.") != 0)
        return false;
    const std::string rest = name.substr(2);
    if (HasMaskWildcards(rest))
        return false;
    int labels = 0;
    size_t start = 0;
    for (;;) {
        const size_t dot = rest.find('.', start);
        const size_t end = dot == std::string::npos ? rest.size() : dot;
        if (end == start)
            return false;
        ++labels;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return labels >= 2;
}

}  // namespace

std::string X509Sha1Hash(X509* cert)
{
    if (!cert)
        return std::string();
    unsigned char digest[64];
    unsigned length = 0;
    if (!libeay::X509_digest(cert, libeay::EVP_sha1(), digest, &length) || length != kSha1Length)
        return std::string();
    return std::string(reinterpret_cast<const char*>(digest), length);
}

bool CertNameMatchesHost(const std::string& name, const std::string& host)
{
    if (name.empty() || host.empty())
        return false;
    if (HasMaskWildcards(name) && (!IsAcceptedWildcard(name) || IsAddressLiteral(host)))
        return false;
    return MatchesMask(host, name);
}

TX509Base* CreateX509Base(rtl::TComponent* owner, X509* cert)
{
    return rtl::Create<TX509Base>(owner, cert);
}

TX509Base::TX509Base(rtl::TComponent* owner, X509* cert) : TSslBaseComponent(owner)
{
    TX509Base::Clear();
    if (cert)
        KeepCopyOf(cert);
}

TX509Base::~TX509Base()
{
    FreeX509();
    FreePrivateKey();
}

void TX509Base::KeepCopyOf(X509* cert)
{
    InitializeSsl();
    FX509 = libeay::X509_dup(cert);
    FSha1Hash = X509Sha1Hash(FX509);
}

void TX509Base::FreeX509()
{
    if (FX509) {
        X509* cert = FX509;
        FX509 = nullptr;
        libeay::X509_free(cert);
    }
}

void TX509Base::FreePrivateKey()
{
    if (FPrivateKey) {
        EVP_PKEY* key = FPrivateKey;
        FPrivateKey = nullptr;
        libeay::EVP_PKEY_free(key);
    }
}

void TX509Base::AssignX509(X509* cert)
{
    InitializeSsl();
    FreeX509();
    Clear();
    if (cert)
        KeepCopyOf(cert);
}

void TX509Base::SetPrivateKey(EVP_PKEY* key)
{
    InitializeSsl();
    FreePrivateKey();
    if (key)
        FPrivateKey = AddPrivateKeyReference(key);
}

void TX509Base::Clear()
{
    VerifyDepth = 0;
    FSha1Hash.clear();
    VerifyResult = X509_V_ERR_APPLICATION_VERIFICATION;
    CustomVerifyResult = X509_V_ERR_APPLICATION_VERIFICATION;
    FirstVerifyResult = X509_V_ERR_APPLICATION_VERIFICATION;
}

int TX509Base::GetSerialNum()
{
    if (!FX509)
        return -1;
    return int(libeay::ASN1_INTEGER_get(libeay::X509_get_serialNumber(FX509)));
}

std::string TX509Base::SubjectOneLine()
{
    if (!FX509)
        return std::string();
    char buffer[513] = {};
    libeay::X509_NAME_oneline(libeay::X509_get_subject_name(FX509), buffer, 512);
    return lib::StrPas(buffer);
}

std::string TX509Base::SubjectCNList()
{
    if (!FX509)
        return std::string();
    X509_NAME* subject = libeay::X509_get_subject_name(FX509);
    std::string list;
    for (int i = libeay::X509_NAME_get_index_by_NID(subject, NID_commonName, -1); i >= 0;
         i = libeay::X509_NAME_get_index_by_NID(subject, NID_commonName, i)) {
        X509_NAME_ENTRY* entry = libeay::X509_NAME_get_entry(subject, i);
        list += Asn1StringToText(libeay::X509_NAME_ENTRY_get_data(entry)) + "\r\n";
    }
    while (!list.empty() && (list.back() == '\r' || list.back() == '\n'))
        list.pop_back();
    return list;
}

std::string TX509Base::VerifyErrMsg()
{
    if (!FX509)
        return std::string();
    return lib::StrPas(libeay::X509_verify_cert_error_string(VerifyResult));
}

int TX509Base::ExtensionCount()
{
    return FX509 ? libeay::X509_get_ext_count(FX509) : 0;
}

int TX509Base::ExtensionByName(const std::string& shortName)
{
    const int count = ExtensionCount();
    for (int i = 0; i < count; ++i) {
        X509_EXTENSION* ext = libeay::X509_get_ext(FX509, i);
        if (ext && lib::StrLIComp(ShortNameOf(ext).c_str(), shortName.c_str(), 255) == 0)
            return i;
    }
    return -1;
}

TExtension TX509Base::GetExtension(int index)
{
    TExtension record;
    if (!FX509)
        return record;
    if (index < 0 || index >= ExtensionCount())
        throw EX509Exception("Extension index out of bounds");
    X509_EXTENSION* ext = libeay::X509_get_ext(FX509, index);
    if (!ext)
        throw EX509Exception("Extension not assigned");
    record.Critical = libeay::X509_EXTENSION_get_critical(ext) > 0;
    record.ShortName = ShortNameOf(ext);
    record.Value = ExtensionValue(ext);
    return record;
}

TExtension TX509Base::GetSubjectAltName()
{
    const int index = ExtensionByName("subjectAltName");
    return index >= 0 ? GetExtension(index) : TExtension();
}

bool TX509Base::PostConnectionCheck(const std::string& host)
{
    if (!FX509 || host.empty())
        return false;
    for (const std::string& cn : Lines(SubjectCNList()))
        if (CertNameMatchesHost(cn, host))
            return true;
    if (ExtensionByName("subjectAltName") < 0)
        return false;
    for (const std::string& line : Lines(GetSubjectAltName().Value)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string name = lib::UpperCase(line.substr(0, eq));
        const std::string value = line.substr(eq + 1);
        // Addresses compare exactly; names may hold an accepted wildcard.
        if (name.compare(0, 2, "IP") == 0 ? value == host
                                          : name.compare(0, 3, "DNS") == 0 &&
                                                CertNameMatchesHost(value, host))
            return true;
    }
    return false;
}

void TX509Base::ReadFromBio(BIO* bio, bool includePrivateKey, const std::string& password)
{
    InitializeSsl();
    if (!bio)
        throw EX509Exception("BIO not assigned");
    void* pass = password.empty() ? nullptr : const_cast<char*>(password.c_str());
    X509* cert = libeay::PEM_read_bio_X509(bio, nullptr, nullptr, pass);
    if (!cert)
        RaiseLastOpenSslError(&RaiseAs<EX509Exception>, true, "Error reading certificate from BIO");
    struct TCertFree {
        X509* Cert;
        ~TCertFree() { libeay::X509_free(Cert); }
    } certFree{cert};
    if (!includePrivateKey) {
        if (FPrivateKey && !libeay::X509_check_private_key(cert, FPrivateKey))
            throw EX509Exception("Certificate and private key do not match");
        AssignX509(cert);
        return;
    }
    libeay::BIO_ctrl(bio, BIO_CTRL_RESET, 0, nullptr);
    EVP_PKEY* key = libeay::PEM_read_bio_PrivateKey(bio, nullptr, nullptr, pass);
    if (!key)
        RaiseLastOpenSslError(&RaiseAs<EX509Exception>, true, "Error reading private key from BIO");
    struct TKeyFree {
        EVP_PKEY* Key;
        ~TKeyFree() { libeay::EVP_PKEY_free(Key); }
    } keyFree{key};
    if (!libeay::X509_check_private_key(cert, key))
        throw EX509Exception("Certificate and private key do not match");
    AssignX509(cert);
    SetPrivateKey(key);
}

void TX509Base::WriteToBio(BIO* bio, bool includePrivateKey, bool addRawText)
{
    InitializeSsl();
    if (!bio)
        throw EX509Exception("BIO not assigned");
    if (!FX509)
        throw EX509Exception("X509 not assigned");
    if (includePrivateKey && !FPrivateKey)
        throw EX509Exception("Private key not assigned");
    if (addRawText && !libeay::X509_print(bio, FX509))
        RaiseLastOpenSslError(&RaiseAs<EX509Exception>, true, "Error writing raw text to BIO");
    if (includePrivateKey &&
        !libeay::PEM_write_bio_PrivateKey(bio, FPrivateKey, nullptr, nullptr, 0, nullptr, nullptr))
        RaiseLastOpenSslError(&RaiseAs<EX509Exception>, true, "Error writing private key to BIO");
    if (!libeay::PEM_write_bio_X509(bio, FX509))
        RaiseLastOpenSslError(&RaiseAs<EX509Exception>, true, "Error writing certificate to BIO");
}

TX509List::~TX509List()
{
    Clear();
}

void TX509List::Clear()
{
    std::vector<TX509Base*> items;
    items.swap(FItems);
    for (TX509Base* item : items)
        item->Free();
}

TX509Base* TX509List::Add(X509* cert)
{
    TX509Base* item = X509Class(FOwner, cert);
    FItems.push_back(item);
    return item;
}

TX509Base* TX509List::Find(X509* cert) const
{
    return FindBySha1Hash(X509Sha1Hash(cert));
}

TX509Base* TX509List::FindBySha1Hash(const std::string& sha1Hash) const
{
    if (sha1Hash.size() != kSha1Length)
        return nullptr;
    for (TX509Base* item : FItems)
        if (item->Sha1Hash() == sha1Hash)
            return item;
    return nullptr;
}

}  // namespace calyx
