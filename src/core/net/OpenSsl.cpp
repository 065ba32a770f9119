#include "net/OpenSsl.h"

#include <dlfcn.h>

namespace tolvan {

namespace {

#define TOLVAN_TEXT(x) #x
#define TOLVAN_SONAME(name, version) name ".so." TOLVAN_TEXT(version)
// The libraries of the major version the headers describe.
constexpr const char* kSsl = TOLVAN_SONAME("libssl", OPENSSL_SHLIB_VERSION);
constexpr const char* kCrypto = TOLVAN_SONAME("libcrypto", OPENSSL_SHLIB_VERSION);
#undef TOLVAN_SONAME
#undef TOLVAN_TEXT

class Loader {
public:
    explicit Loader(OpenSsl& api) : api_(api) {}

    void* open(const char* soname)
    {
        void* handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!handle && api_.loadError.empty()) {
            const char* reason = ::dlerror();
            api_.loadError = std::string("the TLS library could not be loaded (") + (reason ? reason : soname) + ")";
        }
        return handle;
    }

    template <typename Function>
    void bind(void* handle, Function& function, const char* name)
    {
        function = handle ? reinterpret_cast<Function>(::dlsym(handle, name)) : nullptr;
        if (!function && api_.loadError.empty())
            api_.loadError = std::string("the TLS library lacks ") + name;
    }

private:
    OpenSsl& api_;
};

OpenSsl load()
{
    OpenSsl api;
    Loader loader(api);
    void* ssl = loader.open(kSsl);
    void* crypto = loader.open(kCrypto);
#define TOLVAN_BIND(handle, name) loader.bind(handle, api.name, #name)
    TOLVAN_BIND(ssl, TLS_client_method);
    TOLVAN_BIND(ssl, SSL_CTX_new);
    TOLVAN_BIND(ssl, SSL_CTX_free);
    TOLVAN_BIND(ssl, SSL_CTX_ctrl);
    TOLVAN_BIND(ssl, SSL_CTX_set_verify);
    TOLVAN_BIND(ssl, SSL_CTX_set_default_verify_paths);
    TOLVAN_BIND(ssl, SSL_new);
    TOLVAN_BIND(ssl, SSL_free);
    TOLVAN_BIND(ssl, SSL_ctrl);
    TOLVAN_BIND(ssl, SSL_set_bio);
    TOLVAN_BIND(ssl, SSL_set_hostflags);
    TOLVAN_BIND(ssl, SSL_set1_host);
    TOLVAN_BIND(ssl, SSL_get0_param);
    TOLVAN_BIND(ssl, SSL_connect);
    TOLVAN_BIND(ssl, SSL_read_ex);
    TOLVAN_BIND(ssl, SSL_write_ex);
    TOLVAN_BIND(ssl, SSL_shutdown);
    TOLVAN_BIND(ssl, SSL_pending);
    TOLVAN_BIND(ssl, SSL_get_error);
    TOLVAN_BIND(ssl, SSL_get_verify_result);
    TOLVAN_BIND(ssl, SSL_get_version);
    TOLVAN_BIND(crypto, X509_VERIFY_PARAM_set1_ip_asc);
    TOLVAN_BIND(crypto, X509_verify_cert_error_string);
    TOLVAN_BIND(crypto, ERR_clear_error);
    TOLVAN_BIND(crypto, ERR_peek_error);
    TOLVAN_BIND(crypto, ERR_reason_error_string);
    TOLVAN_BIND(crypto, ERR_error_string_n);
    TOLVAN_BIND(crypto, BIO_new);
    TOLVAN_BIND(crypto, BIO_get_data);
    TOLVAN_BIND(crypto, BIO_set_data);
    TOLVAN_BIND(crypto, BIO_set_init);
    TOLVAN_BIND(crypto, BIO_set_flags);
    TOLVAN_BIND(crypto, BIO_clear_flags);
    TOLVAN_BIND(crypto, BIO_get_new_index);
    TOLVAN_BIND(crypto, BIO_meth_new);
    TOLVAN_BIND(crypto, BIO_meth_set_write);
    TOLVAN_BIND(crypto, BIO_meth_set_read);
    TOLVAN_BIND(crypto, BIO_meth_set_ctrl);
    TOLVAN_BIND(crypto, BIO_meth_set_create);
#undef TOLVAN_BIND
    // The libraries stay loaded: their exit handlers run at the process's end.
    return api;
}

}  // namespace

const OpenSsl& openSsl()
{
    static const OpenSsl loaded = load();
    return loaded;
}

}  // namespace tolvan
