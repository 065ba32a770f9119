#pragma once
// The desktop's secret store for the window, through the keychain library.
// Each call waits for its job in a local event loop, so the window keeps
// painting while the store (or the user, unlocking a keyring) answers.
#include "secrets/SecretStore.h"

namespace tolvan::app {

class DesktopSecretStore final : public SecretStore {
public:
    Result<std::optional<std::string>> read(const std::string& key) override;
    Status write(const std::string& key, const std::string& secret) override;
    Status remove(const std::string& key) override;

    // The one store of the window.
    static DesktopSecretStore& instance();
};

}  // namespace tolvan::app
