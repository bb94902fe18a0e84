#pragma once
// Certificates: TX509Base wraps a private copy of an OpenSSL certificate and
// one reference to its key; TX509List keeps the certificates an SSL socket saw
// while verifying its peer.
#include <string>
#include <vector>

#include "net/CalyxOpenSslHolders.h"
#include "net/CalyxSslBase.h"

namespace calyx {

struct TExtension {
    bool Critical = false;
    std::string ShortName;
    std::string Value;
};

class TX509Base : public TSslBaseComponent {
public:
    // Keeps a copy of the certificate when one is given.
    TX509Base(rtl::TComponent* owner, X509* cert = nullptr);

    X509* X509Handle() const noexcept { return FX509.Get(); }
    EVP_PKEY* PrivateKey() const noexcept { return FPrivateKey.Get(); }
    // The 20 raw bytes of the SHA-1 fingerprint (zero bytes included),
    // empty without certificate.
    const std::string& Sha1Hash() const noexcept { return FSha1Hash; }

    virtual int GetSerialNum();
    virtual TExtension GetSubjectAltName();
    virtual TExtension GetExtension(int index);
    virtual void Clear();
    virtual void ReadFromBio(BIO* bio, bool includePrivateKey, const std::string& password);
    virtual void WriteToBio(BIO* bio, bool includePrivateKey, bool addRawText);
    // True when the certificate names host: decided on the subjectAltName's
    // raw entries and the subject's common names, never on their printed text
    // (see CertNamesCoverHost).
    virtual bool PostConnectionCheck(const std::string& host);

    void AssignX509(X509* cert);
    void SetPrivateKey(EVP_PKEY* key);
    int ExtensionCount();
    // The index of the first extension with this short name (any case), or -1.
    int ExtensionByName(const std::string& shortName);
    std::string SubjectOneLine();
    // The subject's common names, one per line (CR LF between them), for
    // display only.
    std::string SubjectCNList();
    std::string VerifyErrMsg();

    // OpenSSL verification codes; 50 (X509_V_ERR_APPLICATION_VERIFICATION)
    // stands for unknown.
    int VerifyResult = X509_V_ERR_APPLICATION_VERIFICATION;
    int VerifyDepth = 0;
    int CustomVerifyResult = X509_V_ERR_APPLICATION_VERIFICATION;
    int FirstVerifyResult = X509_V_ERR_APPLICATION_VERIFICATION;

protected:
    ~TX509Base() override;

private:
    void KeepCopyOf(X509* cert);

    TX509Holder FX509;
    TPrivateKeyHolder FPrivateKey;
    std::string FSha1Hash;
};

// Makes the certificate objects of a list: (owner, certificate).
using TX509Class = TX509Base* (*)(rtl::TComponent* owner, X509* cert);
TX509Base* CreateX509Base(rtl::TComponent* owner, X509* cert);

class TX509List : public rtl::TObject {
public:
    explicit TX509List(rtl::TComponent* owner) : FOwner(owner) {}
    ~TX509List() override;

    rtl::TComponent* Owner() const noexcept { return FOwner; }
    int Count() const noexcept { return int(FItems.size()); }
    TX509Base* Items(int index) const { return FItems.at(size_t(index)); }

    void Clear();
    // A new X509Class object made from the certificate, owned by the list's
    // owner and freed by the list.
    TX509Base* Add(X509* cert);
    TX509Base* Find(X509* cert) const;
    TX509Base* FindBySha1Hash(const std::string& sha1Hash) const;

    TX509Class X509Class = &CreateX509Base;
    int LastVerifyResult = 0;

private:
    rtl::TComponent* FOwner;
    std::vector<TX509Base*> FItems;
};

// The 20-byte SHA-1 fingerprint of a certificate, empty when it fails.
std::string X509Sha1Hash(X509* cert);

}  // namespace calyx
