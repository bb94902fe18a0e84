#include "net/CalyxX509.h"

#include <vector>

#include "net/CalyxHostNameCheck.h"
#include "net/CalyxLIBEAY.h"
#include "net/CalyxLibrary.h"
#include "net/CalyxOpenSslHolders.h"

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
        const TStackHolder<&FreeConfValue> values(method->i2v(method, decoded, nullptr));
        return ValueListText(values.Get());
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

// An extension's value decoded by its own method, freed with it; no value
// when the extension is unknown or its data does not decode.
class TDecodedExtension {
public:
    explicit TDecodedExtension(X509_EXTENSION* ext)
        : FMethod(libeay::X509V3_EXT_get(ext)), FData(libeay::X509_EXTENSION_get_data(ext))
    {
        if (!FMethod || !FData)
            return;
        const unsigned char* in = FData->data;
        FItem = FMethod->it ? FMethod->it() : nullptr;
        if (FItem)
            FValue = libeay::ASN1_item_d2i(nullptr, &in, FData->length, FItem);
        else if (FMethod->d2i)
            FValue = FMethod->d2i(nullptr, &in, FData->length);
    }
    ~TDecodedExtension()
    {
        if (!FValue)
            return;
        if (FItem)
            libeay::ASN1_item_free(static_cast<ASN1_VALUE*>(FValue), FItem);
        else if (FMethod->ext_free)
            FMethod->ext_free(FValue);
    }
    TDecodedExtension(const TDecodedExtension&) = delete;
    TDecodedExtension& operator=(const TDecodedExtension&) = delete;

    const X509V3_EXT_METHOD* Method() const noexcept { return FMethod; }
    ASN1_OCTET_STRING* Data() const noexcept { return FData; }
    void* Value() const noexcept { return FValue; }

private:
    const X509V3_EXT_METHOD* FMethod;
    ASN1_OCTET_STRING* FData;
    const ASN1_ITEM* FItem = nullptr;
    void* FValue = nullptr;
};

std::string ExtensionValue(X509_EXTENSION* ext)
{
    const TDecodedExtension decoded(ext);
    return decoded.Value() ? MethodText(decoded.Method(), decoded.Value()) : Asn1StringToText(decoded.Data());
}

std::string Asn1Bytes(const ASN1_STRING* text)
{
    if (!text || !text->data || text->length <= 0)
        return std::string();
    return std::string(reinterpret_cast<const char*>(text->data), size_t(text->length));
}

// The DNS names and addresses of the subjectAltName extension at index, with
// their raw bytes.
void AddAltNames(X509* cert, int index, std::vector<TCertName>& names)
{
    X509_EXTENSION* ext = index >= 0 ? libeay::X509_get_ext(cert, index) : nullptr;
    if (!ext)
        return;
    const TDecodedExtension decoded(ext);
    if (!decoded.Value() || decoded.Method()->ext_nid != NID_subject_alt_name)
        return;
    const auto* list = static_cast<const _STACK*>(decoded.Value());
    const int count = libeay::sk_num(list);
    for (int i = 0; i < count; ++i) {
        const auto* name = static_cast<const GENERAL_NAME*>(libeay::sk_value(list, i));
        if (name && name->type == GEN_DNS)
            names.push_back({TCertNameKind::DnsName, Asn1Bytes(name->d)});
        else if (name && name->type == GEN_IPADD)
            names.push_back({TCertNameKind::IpAddress, Asn1Bytes(name->d)});
    }
}

// The subject's common names as UTF-8, whatever string type holds them:
// nothing on this road folds a character into a look-alike.
void AddCommonNames(X509* cert, std::vector<TCertName>& names)
{
    X509_NAME* subject = libeay::X509_get_subject_name(cert);
    for (int i = libeay::X509_NAME_get_index_by_NID(subject, NID_commonName, -1); i >= 0;
         i = libeay::X509_NAME_get_index_by_NID(subject, NID_commonName, i)) {
        ASN1_STRING* data = libeay::X509_NAME_ENTRY_get_data(libeay::X509_NAME_get_entry(subject, i));
        unsigned char* utf8 = nullptr;
        const int length = data ? libeay::ASN1_STRING_to_UTF8(&utf8, data) : -1;
        if (length >= 0 && utf8)
            names.push_back(
                {TCertNameKind::CommonName, std::string(reinterpret_cast<const char*>(utf8), size_t(length))});
        if (utf8)
            libeay::CRYPTO_free(utf8);
    }
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
    FX509.Reset();
    FPrivateKey.Reset();
}

void TX509Base::KeepCopyOf(X509* cert)
{
    InitializeSsl();
    FX509.Reset(libeay::X509_dup(cert));
    FSha1Hash = X509Sha1Hash(FX509.Get());
}

void TX509Base::AssignX509(X509* cert)
{
    InitializeSsl();
    FX509.Reset();
    Clear();
    if (cert)
        KeepCopyOf(cert);
}

void TX509Base::SetPrivateKey(EVP_PKEY* key)
{
    InitializeSsl();
    FPrivateKey.Reset();
    if (key)
        FPrivateKey.Reset(AddPrivateKeyReference(key));
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
    return int(libeay::ASN1_INTEGER_get(libeay::X509_get_serialNumber(FX509.Get())));
}

std::string TX509Base::SubjectOneLine()
{
    if (!FX509)
        return std::string();
    char buffer[513] = {};
    libeay::X509_NAME_oneline(libeay::X509_get_subject_name(FX509.Get()), buffer, 512);
    return lib::StrPas(buffer);
}

std::string TX509Base::SubjectCNList()
{
    if (!FX509)
        return std::string();
    X509_NAME* subject = libeay::X509_get_subject_name(FX509.Get());
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
    return FX509 ? libeay::X509_get_ext_count(FX509.Get()) : 0;
}

int TX509Base::ExtensionByName(const std::string& shortName)
{
    const int count = ExtensionCount();
    for (int i = 0; i < count; ++i) {
        X509_EXTENSION* ext = libeay::X509_get_ext(FX509.Get(), i);
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
    X509_EXTENSION* ext = libeay::X509_get_ext(FX509.Get(), index);
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
    std::vector<TCertName> names;
    AddAltNames(FX509.Get(), ExtensionByName("subjectAltName"), names);
    AddCommonNames(FX509.Get(), names);
    return CertNamesCoverHost(names, host);
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
    const TX509Holder certFree(cert);
    if (!includePrivateKey) {
        if (FPrivateKey && !libeay::X509_check_private_key(cert, FPrivateKey.Get()))
            throw EX509Exception("Certificate and private key do not match");
        AssignX509(cert);
        return;
    }
    libeay::BIO_ctrl(bio, BIO_CTRL_RESET, 0, nullptr);
    EVP_PKEY* key = libeay::PEM_read_bio_PrivateKey(bio, nullptr, nullptr, pass);
    if (!key)
        RaiseLastOpenSslError(&RaiseAs<EX509Exception>, true, "Error reading private key from BIO");
    const TPrivateKeyHolder keyFree(key);
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
    if (addRawText && !libeay::X509_print(bio, FX509.Get()))
        RaiseLastOpenSslError(&RaiseAs<EX509Exception>, true, "Error writing raw text to BIO");
    if (includePrivateKey &&
        !libeay::PEM_write_bio_PrivateKey(bio, FPrivateKey.Get(), nullptr, nullptr, 0, nullptr, nullptr))
        RaiseLastOpenSslError(&RaiseAs<EX509Exception>, true, "Error writing private key to BIO");
    if (!libeay::PEM_write_bio_X509(bio, FX509.Get()))
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
