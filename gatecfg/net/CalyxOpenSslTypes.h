#pragma once
// The OpenSSL types that the socket library handles. It binds OpenSSL 1.0.2 as
// built for 32-bit Windows, whose ABI differs from any later major version, so
// no OpenSSL header is used: most types stay opaque, and the few records whose
// fields are read are declared here with that version's layout.
//
// Every OpenSSL entry and every callback handed to OpenSSL uses the C calling
// convention (__cdecl), unlike WinSock's stdcall.
#include <cstddef>
#include <cstdint>

namespace calyx {

static_assert(sizeof(void*) == 4 && sizeof(long) == 4, "the records below are 32-bit layouts");

struct SSL;
struct SSL_CTX;
struct SSL_METHOD;
struct SSL_SESSION;
struct SSL_CIPHER;
struct BIO_METHOD;
struct X509;
struct X509_CRL;
struct X509_REQ;
struct X509_NAME;
struct X509_NAME_ENTRY;
struct X509_EXTENSION;
struct X509_STORE;
struct X509_STORE_CTX;
struct X509_LOOKUP;
struct X509_LOOKUP_METHOD;
struct X509_OBJECT;
struct X509_PKEY;
struct X509_PUBKEY;
struct X509_PURPOSE;
struct EVP_MD;
struct EVP_CIPHER;
struct RSA;
struct DSA;
struct EC_KEY;
struct ASN1_OBJECT;
struct ASN1_ITEM;
struct ASN1_VALUE;
struct PKCS7;
struct PKCS12;
struct CRYPTO_dynlock_value;
// OpenSSL 1.0's untyped stack: every STACK_OF(...) is one of these.
struct _STACK;

// ASN1_STRING and its aliases (integer, octet string, time, ...).
struct ASN1_STRING {
    int length;
    int type;
    unsigned char* data;
    long flags;
};
using ASN1_INTEGER = ASN1_STRING;
using ASN1_OCTET_STRING = ASN1_STRING;
using ASN1_TIME = ASN1_STRING;

constexpr int V_ASN1_OCTET_STRING = 4;
constexpr int V_ASN1_UTF8STRING = 12;
constexpr int V_ASN1_BMPSTRING = 30;

// The leading fields of struct bio_st; only flags is read.
struct BIO {
    BIO_METHOD* method;
    void* callback;
    char* cb_arg;
    int init;
    int shutdown;
    int flags;
    int retry_reason;
    int num;
    void* ptr;
};
static_assert(offsetof(BIO, flags) == 5 * 4, "the flags word is the sixth word of a BIO");

constexpr int BIO_FLAGS_SHOULD_RETRY = 0x08;
constexpr int BIO_CTRL_RESET = 1;
constexpr int BIO_CTRL_INFO = 3;
constexpr int BIO_CTRL_PENDING = 10;
constexpr int BIO_CTRL_FLUSH = 11;
constexpr int BIO_C_DO_STATE_MACHINE = 101;
constexpr int BIO_C_SET_SSL = 109;
constexpr int BIO_NOCLOSE = 0;

// The leading fields of EVP_PKEY: its reference count is taken directly.
struct EVP_PKEY {
    int type;
    int save_type;
    int references;
};
constexpr int CRYPTO_LOCK_EVP_PKEY = 10;

// One name/value pair of an extension printed as a list.
struct CONF_VALUE {
    char* section;
    char* name;
    char* value;
};

// An item of a PEM file read by PEM_X509_INFO_read_bio; the fields after the
// two read here are never touched.
struct X509_INFO {
    X509* x509;
    X509_CRL* crl;
};

struct EVP_CIPHER_INFO;

// The method record of a known certificate extension. On Windows OpenSSL
// exports its ASN.1 items as functions, so `it` is a function that returns
// the item.
struct X509V3_EXT_METHOD {
    int ext_nid;
    int ext_flags;
    const ASN1_ITEM* (__cdecl* it)();
    void* (__cdecl* ext_new)();
    void (__cdecl* ext_free)(void* value);
    void* (__cdecl* d2i)(void* value, const unsigned char** in, long length);
    int (__cdecl* i2d)(void* value, unsigned char** out);
    char* (__cdecl* i2s)(const X509V3_EXT_METHOD* method, void* value);
    void* (__cdecl* s2i)(const X509V3_EXT_METHOD* method, void* ctx, const char* text);
    _STACK* (__cdecl* i2v)(const X509V3_EXT_METHOD* method, void* value, _STACK* list);
    void* (__cdecl* v2i)(const X509V3_EXT_METHOD* method, void* ctx, _STACK* values);
    int (__cdecl* i2r)(const X509V3_EXT_METHOD* method, void* value, BIO* out, int indent);
    void* (__cdecl* r2i)(const X509V3_EXT_METHOD* method, void* ctx, const char* text);
    void* usr_data;
};

// One entry of a subjectAltName (a GENERAL_NAMES stack). The union of the
// entry's forms holds pointers only; the DNS and address forms read here are
// ASN.1 strings (IA5String, octet string).
struct GENERAL_NAME {
    int type;
    ASN1_STRING* d;
};
constexpr int GEN_DNS = 2;
constexpr int GEN_IPADD = 7;

constexpr int NID_commonName = 13;
constexpr int NID_subject_alt_name = 85;
constexpr int NID_undef = 0;
constexpr int SSL_FILETYPE_PEM = 1;
constexpr int SSL_ST_OK = 3;
constexpr int SSL_SENT_SHUTDOWN = 1;
constexpr int SSL_RECEIVED_SHUTDOWN = 2;
constexpr int SSL_ERROR_WANT_READ = 2;
constexpr int SSL_ERROR_WANT_WRITE = 3;
constexpr int SSL_ERROR_ZERO_RETURN = 6;
constexpr int X509_V_OK = 0;
constexpr int X509_V_ERR_APPLICATION_VERIFICATION = 50;

// Callback types handed to OpenSSL.
using pem_password_cb = int(__cdecl)(char* buf, int size, int rwflag, void* userdata);
using TSslVerifyCallback = int(__cdecl*)(int preverifyOk, X509_STORE_CTX* store);
using TSslInfoCallback = void(__cdecl*)(const SSL* ssl, int where, int ret);
using TSslClientCertCallback = int(__cdecl*)(SSL* ssl, X509** cert, EVP_PKEY** key);
using TSslRemoveSessionCallback = void(__cdecl*)(SSL_CTX* ctx, SSL_SESSION* session);
using TSslNewSessionCallback = int(__cdecl*)(SSL* ssl, SSL_SESSION* session);
using TSslGetSessionCallback = SSL_SESSION*(__cdecl*)(SSL* ssl, unsigned char* id, int idLength,
                                                      int* copy);
using TCryptoLockingCallback = void(__cdecl*)(int mode, int type, const char* file, int line);
using TCryptoIdCallback = unsigned long(__cdecl*)();
using TCryptoDynlockCreateCallback = CRYPTO_dynlock_value*(__cdecl*)(const char* file, int line);
using TCryptoDynlockLockCallback = void(__cdecl*)(int mode, CRYPTO_dynlock_value* lock,
                                                  const char* file, int line);
using TCryptoDynlockDestroyCallback = void(__cdecl*)(CRYPTO_dynlock_value* lock, const char* file,
                                                     int line);
using TRsaKeygenCallback = void(__cdecl*)(int step, int n, void* arg);
using TStackFreeFunc = void(__cdecl*)(void* item);

}  // namespace calyx
