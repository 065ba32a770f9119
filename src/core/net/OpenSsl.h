#pragma once
// The TLS library (libssl with its libcrypto), loaded when the first TLS
// connection needs it instead of at every start: most runs speak plain HTTP,
// and loading and binding the two libraries costs a start more than all else
// it does. The functions keep the types the library's own headers give them;
// the headers' macros over SSL_CTX_ctrl, SSL_ctrl and the BIO flags are
// written out where they are used.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <string>

namespace tolvan {

struct OpenSsl {
    decltype(&::TLS_client_method) TLS_client_method = nullptr;
    decltype(&::SSL_CTX_new) SSL_CTX_new = nullptr;
    decltype(&::SSL_CTX_free) SSL_CTX_free = nullptr;
    decltype(&::SSL_CTX_ctrl) SSL_CTX_ctrl = nullptr;
    decltype(&::SSL_CTX_set_verify) SSL_CTX_set_verify = nullptr;
    decltype(&::SSL_CTX_set_default_verify_paths) SSL_CTX_set_default_verify_paths = nullptr;
    decltype(&::SSL_new) SSL_new = nullptr;
    decltype(&::SSL_free) SSL_free = nullptr;
    decltype(&::SSL_ctrl) SSL_ctrl = nullptr;
    decltype(&::SSL_set_bio) SSL_set_bio = nullptr;
    decltype(&::SSL_set_hostflags) SSL_set_hostflags = nullptr;
    decltype(&::SSL_set1_host) SSL_set1_host = nullptr;
    decltype(&::SSL_get0_param) SSL_get0_param = nullptr;
    decltype(&::SSL_connect) SSL_connect = nullptr;
    decltype(&::SSL_read_ex) SSL_read_ex = nullptr;
    decltype(&::SSL_write_ex) SSL_write_ex = nullptr;
    decltype(&::SSL_shutdown) SSL_shutdown = nullptr;
    decltype(&::SSL_pending) SSL_pending = nullptr;
    decltype(&::SSL_get_error) SSL_get_error = nullptr;
    decltype(&::SSL_get_verify_result) SSL_get_verify_result = nullptr;
    decltype(&::SSL_get_version) SSL_get_version = nullptr;
    decltype(&::X509_VERIFY_PARAM_set1_ip_asc) X509_VERIFY_PARAM_set1_ip_asc = nullptr;
    decltype(&::X509_verify_cert_error_string) X509_verify_cert_error_string = nullptr;
    decltype(&::ERR_clear_error) ERR_clear_error = nullptr;
    decltype(&::ERR_peek_error) ERR_peek_error = nullptr;
    decltype(&::ERR_reason_error_string) ERR_reason_error_string = nullptr;
    decltype(&::ERR_error_string_n) ERR_error_string_n = nullptr;
    decltype(&::BIO_new) BIO_new = nullptr;
    decltype(&::BIO_get_data) BIO_get_data = nullptr;
    decltype(&::BIO_set_data) BIO_set_data = nullptr;
    decltype(&::BIO_set_init) BIO_set_init = nullptr;
    decltype(&::BIO_set_flags) BIO_set_flags = nullptr;
    decltype(&::BIO_clear_flags) BIO_clear_flags = nullptr;
    decltype(&::BIO_get_new_index) BIO_get_new_index = nullptr;
    decltype(&::BIO_meth_new) BIO_meth_new = nullptr;
    decltype(&::BIO_meth_set_write) BIO_meth_set_write = nullptr;
    decltype(&::BIO_meth_set_read) BIO_meth_set_read = nullptr;
    decltype(&::BIO_meth_set_ctrl) BIO_meth_set_ctrl = nullptr;
    decltype(&::BIO_meth_set_create) BIO_meth_set_create = nullptr;
    // Why the library cannot be used; empty when every function was found.
    std::string loadError;
};

// The library, loaded on the first call and kept for the life of the process.
const OpenSsl& openSsl();

}  // namespace tolvan
