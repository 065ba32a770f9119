#pragma once
// The desktop's secret store reached without Qt, through the Secret Service
// (libsecret). Items are filed as the window's keychain library files them
// (schema "org.qt.keychain", attributes user = key, server = service), so the
// command line finds the passwords the window stored and the other way round.
#include "secrets/SecretStore.h"

namespace tolvan {

class LibSecretStore final : public SecretStore {
public:
    explicit LibSecretStore(std::string service = kSecretService);

    Result<std::optional<std::string>> read(const std::string& key) override;
    Status write(const std::string& key, const std::string& secret) override;
    Status remove(const std::string& key) override;

private:
    std::string service_;
};

}  // namespace tolvan
