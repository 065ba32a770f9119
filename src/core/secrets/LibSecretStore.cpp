#include "secrets/LibSecretStore.h"

#include <libsecret/secret.h>

namespace tolvan {

namespace {

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
        g_error_free(error);
    return e;
}

}  // namespace

LibSecretStore::LibSecretStore(std::string service) : service_(std::move(service)) {}

Result<std::optional<std::string>> LibSecretStore::read(const std::string& key)
{
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(schema(), nullptr, &error, "user", key.c_str(), "server",
                                                service_.c_str(), nullptr);
    if (error)
        return takeError(error, "be read");
    if (!secret)
        return std::optional<std::string>();
    std::string value(secret);
    secret_password_free(secret);
    return std::optional<std::string>(std::move(value));
}

Status LibSecretStore::write(const std::string& key, const std::string& secret)
{
    GError* error = nullptr;
    const std::string label = service_ + ": " + key;
    secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr, &error,
                               "user", key.c_str(), "server", service_.c_str(), "type", "plaintext", nullptr);
    if (error)
        return takeError(error, "store the secret");
    return Ok{};
}

Status LibSecretStore::remove(const std::string& key)
{
    GError* error = nullptr;
    secret_password_clear_sync(schema(), nullptr, &error, "user", key.c_str(), "server", service_.c_str(), nullptr);
    if (error)
        return takeError(error, "remove the secret");
    return Ok{};
}

}  // namespace tolvan
