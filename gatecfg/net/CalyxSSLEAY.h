#pragma once
// The SSL library of OpenSSL ("SSLEAY32.DLL"), never linked: loaded by name on
// demand, every entry of the list below resolved by name into a process-wide
// pointer. The unit counts as loaded only with its complete entry set.
//
// The loaders take no lock: LoadSsl (CalyxSslContext.h) calls them under the
// SSL lock.
#include <windows.h>

#include <string>

#include "net/CalyxOpenSslTypes.h"
#include "rtl/Exception.h"

namespace calyx {

class ECxSsleayException : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// The entries of the SSL library in resolution order: name, result,
// parameters. The build makes the loader tests' stand-in DLLs from this list
// too, so each entry begins a line of its own with "    X(name,".
#define CX_SSLEAY_ENTRIES(X)                                                                       \
    X(SSL_do_handshake, int, (SSL* ssl))                                                           \
    X(SSL_renegotiate, int, (SSL* ssl))                                                            \
    X(SSL_renegotiate_pending, int, (SSL* ssl))                                                    \
    X(SSL_library_init, int, ())                                                                   \
    X(SSL_load_error_strings, void, ())                                                            \
    X(SSLv2_method, const SSL_METHOD*, ())                                                         \
    X(SSLv2_client_method, const SSL_METHOD*, ())                                                  \
    X(SSLv2_server_method, const SSL_METHOD*, ())                                                  \
    X(SSLv3_method, const SSL_METHOD*, ())                                                         \
    X(SSLv3_client_method, const SSL_METHOD*, ())                                                  \
    X(SSLv3_server_method, const SSL_METHOD*, ())                                                  \
    X(SSLv23_method, const SSL_METHOD*, ())                                                        \
    X(SSLv23_client_method, const SSL_METHOD*, ())                                                 \
    X(SSLv23_server_method, const SSL_METHOD*, ())                                                 \
    X(TLSv1_method, const SSL_METHOD*, ())                                                         \
    X(TLSv1_client_method, const SSL_METHOD*, ())                                                  \
    X(TLSv1_server_method, const SSL_METHOD*, ())                                                  \
    X(SSL_CTX_new, SSL_CTX*, (const SSL_METHOD* method))                                           \
    X(SSL_new, SSL*, (SSL_CTX* ctx))                                                               \
    X(SSL_set_bio, void, (SSL* ssl, BIO* rbio, BIO* wbio))                                         \
    X(SSL_set_session, int, (SSL* ssl, SSL_SESSION* session))                                      \
    X(SSL_get_session, SSL_SESSION*, (const SSL* ssl))                                             \
    X(SSL_get_rbio, BIO*, (const SSL* ssl))                                                        \
    X(SSL_get_wbio, BIO*, (const SSL* ssl))                                                        \
    X(SSL_get1_session, SSL_SESSION*, (SSL* ssl))                                                  \
    X(SSL_SESSION_free, void, (SSL_SESSION* session))                                              \
    X(SSL_SESSION_set_timeout, long, (SSL_SESSION* session, long seconds))                         \
    X(SSL_SESSION_get_timeout, long, (const SSL_SESSION* session))                                 \
    X(SSL_SESSION_set_time, long, (SSL_SESSION* session, long time))                               \
    X(SSL_SESSION_get_time, long, (const SSL_SESSION* session))                                    \
    X(d2i_SSL_SESSION, SSL_SESSION*,                                                               \
      (SSL_SESSION** session, const unsigned char** in, long length))                              \
    X(i2d_SSL_SESSION, int, (SSL_SESSION* session, unsigned char** out))                           \
    X(SSL_CTX_set_session_id_context, int,                                                         \
      (SSL_CTX* ctx, const unsigned char* id, unsigned length))                                    \
    X(SSL_set_session_id_context, int, (SSL* ssl, const unsigned char* id, unsigned length))       \
    X(SSL_accept, int, (SSL* ssl))                                                                 \
    X(SSL_connect, int, (SSL* ssl))                                                                \
    X(SSL_ctrl, long, (SSL* ssl, int cmd, long larg, void* parg))                                  \
    X(SSL_read, int, (SSL* ssl, void* buf, int num))                                               \
    X(SSL_want, int, (const SSL* ssl))                                                             \
    X(SSL_write, int, (SSL* ssl, const void* buf, int num))                                        \
    X(SSL_get_error, int, (const SSL* ssl, int result))                                            \
    X(SSL_get_shutdown, int, (const SSL* ssl))                                                     \
    X(SSL_shutdown, int, (SSL* ssl))                                                               \
    X(SSL_clear, int, (SSL* ssl))                                                                  \
    X(SSL_free, void, (SSL* ssl))                                                                  \
    X(SSL_set_ex_data, int, (SSL* ssl, int index, void* data))                                     \
    X(SSL_get_ex_data, void*, (const SSL* ssl, int index))                                         \
    X(SSL_get_peer_certificate, X509*, (const SSL* ssl))                                           \
    X(SSL_get_peer_cert_chain, _STACK*, (const SSL* ssl))                                          \
    X(SSL_get_verify_depth, int, (const SSL* ssl))                                                 \
    X(SSL_get_verify_result, long, (const SSL* ssl))                                               \
    X(SSL_set_verify_result, void, (SSL* ssl, long result))                                        \
    X(SSL_set_info_callback, void, (SSL* ssl, TSslInfoCallback callback))                          \
    X(SSL_set_connect_state, void, (SSL* ssl))                                                     \
    X(SSL_set_shutdown, void, (SSL* ssl, int mode))                                                \
    X(SSL_set_accept_state, void, (SSL* ssl))                                                      \
    X(SSL_get_version, const char*, (const SSL* ssl))                                              \
    X(SSL_version, int, (const SSL* ssl))                                                          \
    X(SSL_get_current_cipher, const SSL_CIPHER*, (const SSL* ssl))                                 \
    X(SSL_state, int, (const SSL* ssl))                                                            \
    X(SSL_state_string_long, const char*, (const SSL* ssl))                                        \
    X(SSL_alert_type_string_long, const char*, (int value))                                        \
    X(SSL_alert_desc_string_long, const char*, (int value))                                        \
    X(SSL_CIPHER_get_bits, int, (const SSL_CIPHER* cipher, int* algBits))                          \
    X(SSL_CIPHER_get_name, const char*, (const SSL_CIPHER* cipher))                                \
    X(SSL_CIPHER_description, char*, (const SSL_CIPHER* cipher, char* buf, int size))              \
    X(SSL_CTX_free, void, (SSL_CTX* ctx))                                                          \
    X(SSL_CTX_set_info_callback, void, (SSL_CTX* ctx, TSslInfoCallback callback))                  \
    X(SSL_CTX_set_timeout, long, (SSL_CTX* ctx, long seconds))                                     \
    X(SSL_CTX_use_certificate_chain_file, int, (SSL_CTX* ctx, const char* file))                   \
    X(SSL_CTX_use_certificate_file, int, (SSL_CTX* ctx, const char* file, int type))               \
    X(SSL_CTX_set_default_passwd_cb, void, (SSL_CTX* ctx, pem_password_cb* callback))              \
    X(SSL_CTX_set_default_passwd_cb_userdata, void, (SSL_CTX* ctx, void* userdata))                \
    X(SSL_CTX_use_PrivateKey_file, int, (SSL_CTX* ctx, const char* file, int type))                \
    X(SSL_CTX_use_PrivateKey, int, (SSL_CTX* ctx, EVP_PKEY* key))                                  \
    X(SSL_CTX_load_verify_locations, int, (SSL_CTX* ctx, const char* caFile, const char* caPath))  \
    X(SSL_CTX_set_default_verify_paths, int, (SSL_CTX* ctx))                                       \
    X(SSL_CTX_set_verify, void, (SSL_CTX* ctx, int mode, TSslVerifyCallback callback))             \
    X(SSL_set_verify, void, (SSL* ssl, int mode, TSslVerifyCallback callback))                     \
    X(SSL_CTX_get_verify_mode, int, (const SSL_CTX* ctx))                                          \
    X(SSL_CTX_get_verify_depth, int, (const SSL_CTX* ctx))                                         \
    X(SSL_CTX_set_verify_depth, void, (SSL_CTX* ctx, int depth))                                   \
    X(SSL_CTX_ctrl, long, (SSL_CTX* ctx, int cmd, long larg, void* parg))                          \
    X(SSL_CTX_set_cipher_list, int, (SSL_CTX* ctx, const char* list))                              \
    X(SSL_CTX_set_ex_data, int, (SSL_CTX* ctx, int index, void* data))                             \
    X(SSL_CTX_get_ex_data, void*, (const SSL_CTX* ctx, int index))                                 \
    X(SSL_CTX_get_cert_store, X509_STORE*, (const SSL_CTX* ctx))                                   \
    X(SSL_CTX_set_trust, int, (SSL_CTX* ctx, int trust))                                           \
    X(SSL_CTX_set_client_cert_cb, void, (SSL_CTX* ctx, TSslClientCertCallback callback))           \
    X(SSL_CTX_get_client_cert_cb, TSslClientCertCallback, (SSL_CTX* ctx))                          \
    X(SSL_CTX_sess_set_remove_cb, void, (SSL_CTX* ctx, TSslRemoveSessionCallback callback))        \
    X(SSL_CTX_sess_get_remove_cb, TSslRemoveSessionCallback, (SSL_CTX* ctx))                       \
    X(SSL_CTX_sess_set_get_cb, void, (SSL_CTX* ctx, TSslGetSessionCallback callback))              \
    X(SSL_CTX_sess_get_get_cb, TSslGetSessionCallback, (SSL_CTX* ctx))                             \
    X(SSL_CTX_sess_set_new_cb, void, (SSL_CTX* ctx, TSslNewSessionCallback callback))              \
    X(SSL_CTX_sess_get_new_cb, TSslNewSessionCallback, (SSL_CTX* ctx))                             \
    X(SSL_SESSION_get_id, const unsigned char*, (const SSL_SESSION* session, unsigned* length))    \
    X(SSL_CTX_add_client_CA, int, (SSL_CTX* ctx, X509* ca))                                        \
    X(SSL_CTX_set_client_CA_list, void, (SSL_CTX* ctx, _STACK* names))                             \
    X(SSL_load_client_CA_file, _STACK*, (const char* file))                                        \
    X(SSL_get_ex_data_X509_STORE_CTX_idx, int, ())                                                 \
    X(BIO_f_ssl, BIO_METHOD*, ())                                                                  \
    X(SSL_set_fd, int, (SSL* ssl, int fd))                                                         \
    X(SSL_set_rfd, int, (SSL* ssl, int fd))                                                        \
    X(SSL_set_wfd, int, (SSL* ssl, int fd))                                                        \
    X(SSL_get_fd, int, (const SSL* ssl))                                                           \
    X(SSL_get_rfd, int, (const SSL* ssl))                                                          \
    X(SSL_get_wfd, int, (const SSL* ssl))                                                          \
    X(SSL_get_SSL_CTX, SSL_CTX*, (const SSL* ssl))


// The entry pointers, empty while the library is not loaded; call them only
// after LoadSsleay returned true.
namespace ssleay {
#define CX_DECLARE_ENTRY(name, result, params)                                                     \
    using T##name = result(__cdecl*) params;                                                       \
    extern T##name name;
CX_SSLEAY_ENTRIES(CX_DECLARE_ENTRY)
#undef CX_DECLARE_ENTRY

// The control shorthands: one control call each.
long SSL_CTX_set_options(SSL_CTX* ctx, long options);
long SSL_set_options(SSL* ssl, long options);
long SSL_get_options(SSL* ssl);
long SSL_CTX_set_session_cache_mode(SSL_CTX* ctx, long mode);
long SSL_session_reused(SSL* ssl);
long SSL_CTX_sess_set_cache_size(SSL_CTX* ctx, long size);
// A server then picks the ECDHE curve that both ends support.
long SSL_CTX_set_ecdh_auto(SSL_CTX* ctx, long onoff);
// 0 without asking a library older than 0.9.8m, which has no such control.
long SSL_get_secure_renegotiation_support(SSL* ssl);
}  // namespace ssleay

// True when already loaded or when every entry was found. A file that cannot
// be loaded raises ECxSsleayException; a missing entry gives false. Either
// failure leaves nothing loaded, so the next call loads and checks afresh.
bool LoadSsleay();
// Frees the module and clears the handle, the module path and every entry.
void UnloadSsleay();
bool SsleayLoaded();

// The name passed to LoadLibrary ("SSLEAY32.DLL"); a path selects another copy.
const std::string& SsleayDllName();
void SetSsleayDllName(const std::string& name);
// Full path of the loaded module, "*NOT_LOADED*" without one.
const std::string& SsleayModulePath();
// The file's version strings, read at the last load.
const std::string& SsleayFileVersion();
const std::string& SsleayFileDescription();

// Reads the file's "FileVersion" and "FileDescription" strings, under the
// language and code page of its first translation (040904E4 without one).
// True when a file version was found.
bool GetFileVerInfo(const std::string& fileName, std::string& fileVersion,
                    std::string& fileDescription);

}  // namespace calyx
