#pragma once
// The crypto library of OpenSSL ("LIBEAY32.DLL"), never linked: loaded by name
// on demand, every entry of the list below resolved by name into a
// process-wide pointer, the library's version number read at the load. The
// unit counts as loaded only with its complete entry set, less X509_PKEY_free,
// which some builds lack: test its pointer before calling it.
//
// The library's threading callbacks (CRYPTO_set_locking_callback and its
// kin) are bound but never installed: OpenSSL then has no locks of its own,
// so every SSL socket of a process stays on one thread.
#include <windows.h>

#include <string>

#include "net/CalyxOpenSslTypes.h"
#include "rtl/Exception.h"

namespace calyx {

class ECxLibeayException : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// The entries of the crypto library in resolution order: name, result,
// parameters. The build makes the loader tests' stand-in DLLs from this list
// too, so each entry begins a line of its own with "    X(name,".
#define CX_LIBEAY_ENTRIES(X)                                                                       \
    X(SSLeay, unsigned long, ())                                                                   \
    X(SSLeay_version, const char*, (int type))                                                     \
    X(ERR_get_error_line_data, unsigned long,                                                      \
      (const char** file, int* line, const char** data, int* flags))                               \
    X(ERR_peek_error, unsigned long, ())                                                           \
    X(ERR_peek_last_error, unsigned long, ())                                                      \
    X(ERR_get_error, unsigned long, ())                                                            \
    X(ERR_error_string, char*, (unsigned long error, char* buf))                                   \
    X(ERR_error_string_n, void, (unsigned long error, char* buf, size_t length))                   \
    X(ERR_clear_error, void, ())                                                                   \
    X(ERR_remove_state, void, (unsigned long threadId))                                            \
    X(ERR_free_strings, void, ())                                                                  \
    X(RAND_seed, void, (const void* buf, int length))                                              \
    X(BIO_new, BIO*, (BIO_METHOD* method))                                                         \
    X(BIO_new_socket, BIO*, (int socket, int closeFlag))                                           \
    X(BIO_new_fd, BIO*, (int fd, int closeFlag))                                                   \
    X(BIO_new_file, BIO*, (const char* name, const char* mode))                                    \
    X(BIO_new_mem_buf, BIO*, (const void* buf, int length))                                        \
    X(BIO_new_bio_pair, int, (BIO** bio1, size_t size1, BIO** bio2, size_t size2))                 \
    X(BIO_ctrl, long, (BIO* bio, int cmd, long larg, void* parg))                                  \
    X(BIO_ctrl_pending, size_t, (BIO* bio))                                                        \
    X(BIO_ctrl_get_write_guarantee, size_t, (BIO* bio))                                            \
    X(BIO_ctrl_get_read_request, size_t, (BIO* bio))                                               \
    X(BIO_read, int, (BIO* bio, void* buf, int length))                                            \
    X(BIO_nread, int, (BIO* bio, char** buf, int length))                                          \
    X(BIO_nread0, int, (BIO* bio, char** buf))                                                     \
    X(BIO_nwrite, int, (BIO* bio, char** buf, int length))                                         \
    X(BIO_nwrite0, int, (BIO* bio, char** buf))                                                    \
    X(BIO_write, int, (BIO* bio, const void* buf, int length))                                     \
    X(BIO_free, int, (BIO* bio))                                                                   \
    X(BIO_gets, int, (BIO* bio, char* buf, int size))                                              \
    X(BIO_puts, int, (BIO* bio, const char* text))                                                 \
    X(BIO_push, BIO*, (BIO* bio, BIO* append))                                                     \
    X(BIO_s_mem, BIO_METHOD*, ())                                                                  \
    X(BIO_get_retry_BIO, BIO*, (BIO* bio, int* reason))                                            \
    X(BIO_get_retry_reason, int, (BIO* bio))                                                       \
    X(d2i_X509_bio, X509*, (BIO* bio, X509** cert))                                                \
    X(i2d_X509_bio, int, (BIO* bio, X509* cert))                                                   \
    X(d2i_PrivateKey_bio, EVP_PKEY*, (BIO* bio, EVP_PKEY** key))                                   \
    X(i2d_PrivateKey_bio, int, (BIO* bio, EVP_PKEY* key))                                          \
    X(d2i_X509, X509*, (X509** cert, const unsigned char** in, long length))                       \
    X(d2i_PKCS12_bio, PKCS12*, (BIO* bio, PKCS12** p12))                                           \
    X(i2d_PKCS12_bio, int, (BIO* bio, PKCS12* p12))                                                \
    X(d2i_PKCS7_bio, PKCS7*, (BIO* bio, PKCS7** p7))                                               \
    X(CRYPTO_add_lock, int, (int* counter, int amount, int type, const char* file, int line))      \
    X(CRYPTO_num_locks, int, ())                                                                   \
    X(CRYPTO_set_locking_callback, void, (TCryptoLockingCallback callback))                        \
    X(CRYPTO_set_id_callback, void, (TCryptoIdCallback callback))                                  \
    X(CRYPTO_set_dynlock_create_callback, void, (TCryptoDynlockCreateCallback callback))           \
    X(CRYPTO_set_dynlock_lock_callback, void, (TCryptoDynlockLockCallback callback))               \
    X(CRYPTO_set_dynlock_destroy_callback, void, (TCryptoDynlockDestroyCallback callback))         \
    X(CRYPTO_cleanup_all_ex_data, void, ())                                                        \
    X(X509_dup, X509*, (X509* cert))                                                               \
    X(X509_check_ca, int, (X509* cert))                                                            \
    X(X509_STORE_new, X509_STORE*, ())                                                             \
    X(X509_STORE_free, void, (X509_STORE* store))                                                  \
    X(X509_STORE_add_cert, int, (X509_STORE* store, X509* cert))                                   \
    X(X509_STORE_add_crl, int, (X509_STORE* store, X509_CRL* crl))                                 \
    X(X509_STORE_add_lookup, X509_LOOKUP*, (X509_STORE* store, X509_LOOKUP_METHOD* method))        \
    X(X509_STORE_set_flags, int, (X509_STORE* store, unsigned long flags))                         \
    X(X509_STORE_CTX_new, X509_STORE_CTX*, ())                                                     \
    X(X509_STORE_CTX_free, void, (X509_STORE_CTX* ctx))                                            \
    X(X509_STORE_CTX_init, int,                                                                    \
      (X509_STORE_CTX* ctx, X509_STORE* store, X509* cert, _STACK* chain))                         \
    X(X509_STORE_CTX_cleanup, void, (X509_STORE_CTX* ctx))                                         \
    X(X509_STORE_CTX_get_ex_data, void*, (X509_STORE_CTX* ctx, int index))                         \
    X(X509_STORE_CTX_get_current_cert, X509*, (X509_STORE_CTX* ctx))                               \
    X(X509_STORE_CTX_get_error, int, (X509_STORE_CTX* ctx))                                        \
    X(X509_STORE_CTX_set_error, void, (X509_STORE_CTX* ctx, int error))                            \
    X(X509_STORE_CTX_get_error_depth, int, (X509_STORE_CTX* ctx))                                  \
    X(X509_STORE_CTX_get_chain, _STACK*, (X509_STORE_CTX* ctx))                                    \
    X(X509_STORE_CTX_trusted_stack, void, (X509_STORE_CTX* ctx, _STACK* certs))                    \
    X(X509_STORE_CTX_set_purpose, int, (X509_STORE_CTX* ctx, int purpose))                         \
    X(X509_STORE_CTX_set_verify_cb, void, (X509_STORE_CTX* ctx, TSslVerifyCallback callback))      \
    X(X509_STORE_CTX_set_ex_data, int, (X509_STORE_CTX* ctx, int index, void* data))               \
    X(X509_load_crl_file, int, (X509_LOOKUP* lookup, const char* file, int type))                  \
    X(X509_LOOKUP_file, X509_LOOKUP_METHOD*, ())                                                   \
    X(X509_LOOKUP_hash_dir, X509_LOOKUP_METHOD*, ())                                               \
    X(X509_LOOKUP_new, X509_LOOKUP*, (X509_LOOKUP_METHOD* method))                                 \
    X(X509_LOOKUP_free, void, (X509_LOOKUP* lookup))                                               \
    X(X509_LOOKUP_by_issuer_serial, int,                                                           \
      (X509_LOOKUP* lookup, int type, X509_NAME* name, ASN1_INTEGER* serial, X509_OBJECT* found))  \
    X(X509_LOOKUP_by_fingerprint, int,                                                             \
      (X509_LOOKUP* lookup, int type, unsigned char* bytes, int length, X509_OBJECT* found))       \
    X(X509_LOOKUP_ctrl, int,                                                                       \
      (X509_LOOKUP* lookup, int cmd, const char* argc, long argl, char** ret))                     \
    X(X509_check_issued, int, (X509* issuer, X509* subject))                                       \
    X(X509_verify_cert, int, (X509_STORE_CTX* ctx))                                                \
    X(X509_verify_cert_error_string, const char*, (long error))                                    \
    X(X509_get_issuer_name, X509_NAME*, (X509* cert))                                              \
    X(X509_get_subject_name, X509_NAME*, (X509* cert))                                             \
    X(X509_get_serialNumber, ASN1_INTEGER*, (X509* cert))                                          \
    X(X509_NAME_oneline, char*, (X509_NAME* name, char* buf, int size))                            \
    X(X509_NAME_get_text_by_NID, int, (X509_NAME* name, int nid, char* buf, int length))           \
    X(X509_NAME_get_index_by_NID, int, (X509_NAME* name, int nid, int lastpos))                    \
    X(X509_NAME_free, void, (X509_NAME* name))                                                     \
    X(X509_NAME_cmp, int, (const X509_NAME* a, const X509_NAME* b))                                \
    X(X509_get_ext, X509_EXTENSION*, (X509* cert, int index))                                      \
    X(X509_get_ext_count, int, (X509* cert))                                                       \
    X(X509_free, void, (X509* cert))                                                               \
    X(X509_CRL_free, void, (X509_CRL* crl))                                                        \
    X(X509V3_EXT_get, const X509V3_EXT_METHOD*, (X509_EXTENSION* ext))                             \
    X(X509V3_EXT_print, int, (BIO* out, X509_EXTENSION* ext, unsigned long flags, int indent))     \
    X(X509V3_EXT_d2i, void*, (X509_EXTENSION* ext))                                                \
    X(X509V3_conf_free, void, (CONF_VALUE* value))                                                 \
    X(X509_EXTENSION_get_object, ASN1_OBJECT*, (X509_EXTENSION* ext))                              \
    X(X509_EXTENSION_get_data, ASN1_OCTET_STRING*, (X509_EXTENSION* ext))                          \
    X(X509_EXTENSION_get_critical, int, (X509_EXTENSION* ext))                                     \
    X(X509_subject_name_hash, unsigned long, (X509* cert))                                         \
    X(X509_print, int, (BIO* bio, X509* cert))                                                     \
    X(X509_digest, int,                                                                            \
      (const X509* cert, const EVP_MD* type, unsigned char* md, unsigned* length))                 \
    X(X509_check_private_key, int, (X509* cert, EVP_PKEY* key))                                    \
    X(EVP_sha1, const EVP_MD*, ())                                                                 \
    X(EVP_md5, const EVP_MD*, ())                                                                  \
    X(EVP_PKEY_new, EVP_PKEY*, ())                                                                 \
    X(EVP_PKEY_free, void, (EVP_PKEY* key))                                                        \
    X(EVP_PKEY_assign, int, (EVP_PKEY* key, int type, void* value))                                \
    X(EVP_PKEY_size, int, (EVP_PKEY* key))                                                         \
    X(EVP_PKEY_bits, int, (EVP_PKEY* key))                                                         \
    X(EVP_get_cipherbyname, const EVP_CIPHER*, (const char* name))                                 \
    X(EVP_des_ede3_cbc, const EVP_CIPHER*, ())                                                     \
    X(EVP_cleanup, void, ())                                                                       \
    X(RSA_generate_key, RSA*,                                                                      \
      (int bits, unsigned long exponent, TRsaKeygenCallback callback, void* arg))                  \
    X(RSA_print, int, (BIO* bio, const RSA* key, int offset))                                      \
    X(DSA_print, int, (BIO* bio, const DSA* key, int offset))                                      \
    X(EC_KEY_print, int, (BIO* bio, const EC_KEY* key, int offset))                                \
    X(OBJ_nid2sn, const char*, (int nid))                                                          \
    X(OBJ_nid2ln, const char*, (int nid))                                                          \
    X(OBJ_obj2nid, int, (const ASN1_OBJECT* object))                                               \
    X(sk_num, int, (const _STACK* stack))                                                          \
    X(sk_value, void*, (const _STACK* stack, int index))                                           \
    X(sk_new_null, _STACK*, ())                                                                    \
    X(sk_free, void, (_STACK* stack))                                                              \
    X(sk_pop_free, void, (_STACK* stack, TStackFreeFunc free))                                     \
    X(sk_push, int, (_STACK* stack, void* item))                                                   \
    X(sk_delete, void*, (_STACK* stack, int index))                                                \
    X(sk_pop, void*, (_STACK* stack))                                                              \
    X(sk_find, int, (_STACK* stack, void* item))                                                   \
    X(sk_insert, int, (_STACK* stack, void* item, int where))                                      \
    X(sk_dup, _STACK*, (_STACK* stack))                                                            \
    X(sk_set, void*, (_STACK* stack, int index, void* item))                                       \
    X(PEM_write_bio_X509, int, (BIO* bio, X509* cert))                                             \
    X(PEM_write_bio_X509_REQ, int, (BIO* bio, X509_REQ* request))                                  \
    X(PEM_write_bio_X509_CRL, int, (BIO* bio, X509_CRL* crl))                                      \
    X(PEM_read_bio_X509_CRL, X509_CRL*,                                                            \
      (BIO* bio, X509_CRL** crl, pem_password_cb* callback, void* userdata))                       \
    X(PEM_read_bio_X509, X509*,                                                                    \
      (BIO* bio, X509** cert, pem_password_cb* callback, void* userdata))                          \
    X(PEM_read_bio_PKCS7, PKCS7*,                                                                  \
      (BIO* bio, PKCS7** p7, pem_password_cb* callback, void* userdata))                           \
    X(PEM_write_bio_PKCS7, int, (BIO* bio, PKCS7* p7))                                             \
    X(PEM_do_header, int,                                                                          \
      (EVP_CIPHER_INFO* cipher, unsigned char* data, long* length, pem_password_cb* callback,      \
       void* userdata))                                                                            \
    X(PEM_X509_INFO_read_bio, _STACK*,                                                             \
      (BIO* bio, _STACK* items, pem_password_cb* callback, void* userdata))                        \
    X(PEM_write_bio_PrivateKey, int,                                                               \
      (BIO* bio, EVP_PKEY* key, const EVP_CIPHER* cipher, unsigned char* pass, int passLength,     \
       pem_password_cb* callback, void* userdata))                                                 \
    X(PEM_read_bio_PrivateKey, EVP_PKEY*,                                                          \
      (BIO* bio, EVP_PKEY** key, pem_password_cb* callback, void* userdata))                       \
    X(CRYPTO_free, void, (void* block))                                                            \
    X(X509_NAME_ENTRY_get_object, ASN1_OBJECT*, (X509_NAME_ENTRY* entry))                          \
    X(X509_NAME_get_entry, X509_NAME_ENTRY*, (X509_NAME* name, int index))                         \
    X(X509_NAME_entry_count, int, (X509_NAME* name))                                               \
    X(X509_NAME_ENTRY_get_data, ASN1_STRING*, (X509_NAME_ENTRY* entry))                            \
    X(X509_set_version, int, (X509* cert, long version))                                           \
    X(ASN1_STRING_to_UTF8, int, (unsigned char** out, ASN1_STRING* in))                            \
    X(ASN1_INTEGER_set, int, (ASN1_INTEGER* integer, long value))                                  \
    X(ASN1_INTEGER_get, long, (const ASN1_INTEGER* integer))                                       \
    X(ASN1_STRING_print, int, (BIO* bio, const ASN1_STRING* text))                                 \
    X(ASN1_item_d2i, ASN1_VALUE*,                                                                  \
      (ASN1_VALUE** value, const unsigned char** in, long length, const ASN1_ITEM* item))          \
    X(ASN1_item_free, void, (ASN1_VALUE* value, const ASN1_ITEM* item))                            \
    X(ASN1_STRING_free, void, (ASN1_STRING* text))                                                 \
    X(i2a_ASN1_OBJECT, int, (BIO* bio, ASN1_OBJECT* object))                                       \
    X(X509_gmtime_adj, ASN1_TIME*, (ASN1_TIME* time, long seconds))                                \
    X(X509_set_pubkey, int, (X509* cert, EVP_PKEY* key))                                           \
    X(X509_new, X509*, ())                                                                         \
    X(X509_NAME_add_entry_by_txt, int,                                                             \
      (X509_NAME* name, const char* field, int type, const unsigned char* bytes, int length,       \
       int index, int set))                                                                        \
    X(X509_NAME_add_entry_by_NID, int,                                                             \
      (X509_NAME* name, int nid, int type, unsigned char* bytes, int length, int index, int set))  \
    X(X509_NAME_new, X509_NAME*, ())                                                               \
    X(X509_set_issuer_name, int, (X509* cert, X509_NAME* name))                                    \
    X(X509_sign, int, (X509* cert, EVP_PKEY* key, const EVP_MD* md))                               \
    X(X509_INFO_free, void, (X509_INFO* item))                                                     \
    X(X509_CRL_dup, X509_CRL*, (X509_CRL* crl))                                                    \
    X(X509_PKEY_free, void, (X509_PKEY* key))                                                      \
    X(i2d_X509, int, (X509* cert, unsigned char** out))                                            \
    X(i2d_PrivateKey, int, (EVP_PKEY* key, unsigned char** out))                                   \
    X(d2i_PrivateKey, EVP_PKEY*,                                                                   \
      (int type, EVP_PKEY** key, const unsigned char** in, long length))                           \
    X(i2d_ASN1_bytes, int, (ASN1_STRING* text, unsigned char** out, int tag, int xclass))          \
    X(X509_get_pubkey, EVP_PKEY*, (X509* cert))                                                    \
    X(X509_PUBKEY_free, void, (X509_PUBKEY* key))                                                  \
    X(X509_check_purpose, int, (X509* cert, int id, int ca))                                       \
    X(X509_PURPOSE_get_id, int, (X509_PURPOSE* purpose))                                           \
    X(X509_PURPOSE_get0, X509_PURPOSE*, (int index))                                               \
    X(X509_PURPOSE_get0_name, char*, (X509_PURPOSE* purpose))                                      \
    X(X509_PURPOSE_get0_sname, char*, (X509_PURPOSE* purpose))                                     \
    X(X509_PURPOSE_get_count, int, ())                                                             \
    X(CONF_modules_unload, void, (int all))                                                        \
    X(OpenSSL_add_all_ciphers, void, ())                                                           \
    X(OpenSSL_add_all_digests, void, ())                                                           \
    X(PKCS7_new, PKCS7*, ())                                                                       \
    X(PKCS7_free, void, (PKCS7* p7))                                                               \
    X(PKCS7_set_type, int, (PKCS7* p7, int type))                                                  \
    X(PKCS7_content_new, int, (PKCS7* p7, int nid))                                                \
    X(PKCS7_add_certificate, int, (PKCS7* p7, X509* cert))                                         \
    X(PKCS12_parse, int,                                                                           \
      (PKCS12* p12, const char* pass, EVP_PKEY** key, X509** cert, _STACK** ca))                   \
    X(PKCS12_verify_mac, int, (PKCS12* p12, const char* pass, int passLength))                     \
    X(PKCS12_free, void, (PKCS12* p12))                                                            \
    X(PKCS12_create, PKCS12*,                                                                      \
      (char* pass, char* name, EVP_PKEY* key, X509* cert, _STACK* ca, int keyNid, int certNid,     \
       int iterations, int macIterations, int keyType))


// The entry pointers, empty while the library is not loaded; call them only
// after LoadLibeay returned true.
namespace libeay {
#define CX_DECLARE_ENTRY(name, result, params)                                                     \
    using T##name = result(__cdecl*) params;                                                       \
    extern T##name name;
CX_LIBEAY_ENTRIES(CX_DECLARE_ENTRY)
#undef CX_DECLARE_ENTRY
}  // namespace libeay

// True when already loaded or when every entry but the optional one was
// found. A file that cannot be loaded raises ECxLibeayException; a missing
// entry gives false. Either failure leaves nothing loaded.
bool LoadLibeay();
// Frees the module and clears the handle, the module path, every entry and
// the version number with what depends on it.
void UnloadLibeay();
bool LibeayLoaded();

const std::string& LibeayDllName();
void SetLibeayDllName(const std::string& name);
// Full path of the loaded module, "*NOT LOADED*" without one.
const std::string& LibeayModulePath();

// OpenSSL's packed version number as SSLeay returned it at the load, 0 before.
unsigned long LibeayVersionNumber();
// Set for the releases 0x009080CF to 0x009080EE, whose renegotiation is unsafe.
bool LibeayNarrowVersion();

constexpr unsigned long kOpenSslVersionSwitch = 0x00908000;
// Releases from here on support the secure-renegotiation control.
constexpr unsigned long kOpenSslSecureRenegotiationVersion = 0x009080EF;

// The command numbers that changed at kOpenSslVersionSwitch.
struct TOpenSslCommands {
    int ExtraChainCert;    // SSL_CTRL_EXTRA_CHAIN_CERT
    int GetSessionReused;  // SSL_CTRL_GET_SESSION_REUSED
    int MbstringUniv;      // MBSTRING_UNIV
    int MbstringUtf8;      // MBSTRING_UTF8
};
const TOpenSslCommands& OpenSslCommands();

// Bit 3 of the BIO's flags word (BIO_FLAGS_SHOULD_RETRY).
bool BioShouldRetry(const BIO* bio);
int BioGetFlags(const BIO* bio);

// The text of SSLeay_version(0), e.g. "OpenSSL 1.0.2n  7 Dec 2017".
std::string OpenSslVersionText();
// Calls a parameterless OpenSSL routine through its pointer.
int CallFunction(FARPROC routine);

// An ASN.1 string as text: octet strings as hex pairs joined by ":", UTF-8
// and BMP strings converted to the ANSI code page, other types as their bytes.
std::string Asn1StringToText(const ASN1_STRING* text);
// Big-endian 16-bit characters, length / 2 of them.
std::wstring BmpStringToWide(const unsigned char* bytes, int length);

}  // namespace calyx
