#include "secrets/LibSecretStore.h"

#include <dlfcn.h>
#include <libsecret/secret.h>

namespace tolvan {

namespace {

// The Secret Service library and its GLib stack are loaded on first use, not
// at start: most command-line runs never need a secret, and loading them costs
// every run more than a millisecond. The functions keep the types the library's
// own header gives them.
struct SecretLibrary {
    decltype(&secret_password_lookup_sync) lookup = nullptr;
    decltype(&secret_password_store_sync) store = nullptr;
    decltype(&secret_password_clear_sync) clear = nullptr;
    decltype(&secret_password_free) freePassword = nullptr;
    decltype(&g_error_free) freeError = nullptr;
    std::string loadError;

    SecretLibrary()
    {
        void* handle = ::dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* reason = ::dlerror();
            loadError = std::string("the Secret Service library (libsecret) is not installed: ") +
                        (reason ? reason : "libsecret-1.so.0 not found");
            return;
        }
        bind(handle, lookup, "secret_password_lookup_sync");
        bind(handle, store, "secret_password_store_sync");
        bind(handle, clear, "secret_password_clear_sync");
        bind(handle, freePassword, "secret_password_free");
        bind(handle, freeError, "g_error_free");
        // The library stays loaded for the life of the process: GLib cannot be unloaded.
    }

    template <typename Function>
    void bind(void* handle, Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(::dlsym(handle, name));
        if (!function && loadError.empty())
            loadError = std::string("the Secret Service library (libsecret) lacks ") + name;
    }
};

const SecretLibrary& library()
{
    static const SecretLibrary loaded;
    return loaded;
}

Error unavailable(const char* what)
{
    return Error{-1, std::string("The desktop's secret store could not ") + what + ": " + library().loadError};
}

const SecretSchema* schema()
{
    static const SecretSchema s = {
        "org.qt.keychain",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"type", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &s;
}

Error takeError(GError* error, const char* what)
{
    Error e{error ? error->code : -1,
            std::string("The desktop's secret store could not ") + what + ": " +
                (error && error->message ? error->message : "unknown error")};
    if (error)
        library().freeError(error);
    return e;
}

}  // namespace

LibSecretStore::LibSecretStore(std::string service) : service_(std::move(service)) {}

Result<std::optional<std::string>> LibSecretStore::read(const std::string& key)
{
    if (!library().loadError.empty())
        return unavailable("be read");
    GError* error = nullptr;
    gchar* secret = library().lookup(schema(), nullptr, &error, "user", key.c_str(), "server",
                                                service_.c_str(), nullptr);
    if (error)
        return takeError(error, "be read");
    if (!secret)
        return std::optional<std::string>();
    std::string value(secret);
    library().freePassword(secret);
    return std::optional<std::string>(std::move(value));
}

Status LibSecretStore::write(const std::string& key, const std::string& secret)
{
    if (!library().loadError.empty())
        return unavailable("store the secret");
    GError* error = nullptr;
    const std::string label = service_ + ": " + key;
    library().store(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr, &error,
                               "user", key.c_str(), "server", service_.c_str(), "type", "plaintext", nullptr);
    if (error)
        return takeError(error, "store the secret");
    return Ok{};
}

Status LibSecretStore::remove(const std::string& key)
{
    if (!library().loadError.empty())
        return unavailable("remove the secret");
    GError* error = nullptr;
    library().clear(schema(), nullptr, &error, "user", key.c_str(), "server", service_.c_str(), nullptr);
    if (error)
        return takeError(error, "remove the secret");
    return Ok{};
}

}  // namespace tolvan
