#pragma once
// Secrets (mail passwords, API keys) never go into the settings file: they are
// kept in the desktop's secret store, under the service "Tolvan" and a key of
// the feature's choosing. This is the interface the features use; the window
// supplies the desktop implementation, the command line LibSecretStore.
#include <optional>
#include <string>

#include "util/Result.h"

namespace tolvan {

// The service every secret of the program is filed under.
inline constexpr const char* kSecretService = "Tolvan";

class SecretStore {
public:
    virtual ~SecretStore() = default;

    // The secret under `key`: a value when stored, nullopt when the store has
    // none, an error when the store cannot be reached (no secret service, a
    // locked keyring the user would not open, ...).
    virtual Result<std::optional<std::string>> read(const std::string& key) = 0;
    virtual Status write(const std::string& key, const std::string& secret) = 0;
    // Removing a secret that is not there is no error.
    virtual Status remove(const std::string& key) = 0;
};

// The key of the mail password of `user` on the SMTP server `server` (its host
// part: the port does not change the account).
std::string smtpPasswordKey(const std::string& user, const std::string& server);

// The key of the API key of a rank engine that needs one (its definition's name).
std::string rankApiKeyKey(const std::string& engine);

// The text of a file of secrets (at most 64 KB), read only when it belongs to
// the user and is readable by its owner only; anything else is refused with a
// message saying why. `what` names the file in the messages ("The password file").
Result<std::string> readOwnerOnlyFile(const std::string& path, const std::string& what);

// A password kept in a file for unattended runs (TOLVAN_SMTP_PASSWORD_FILE):
// its first line, read as readOwnerOnlyFile reads.
Result<std::string> readPasswordFile(const std::string& path);

// The mail password for a run without a window: from `store` (may be null),
// else from the file named by TOLVAN_SMTP_PASSWORD_FILE; an error saying what
// was tried when neither has it.
Result<std::string> unattendedSmtpPassword(SecretStore* store, const std::string& user, const std::string& server);

// The API key of a rank engine for a run without a window: from `store` (may
// be null), else from the owner-only file named by TOLVAN_RANK_KEYS_FILE, one
// "engine=key" a line (the name without regard to case; blank lines and lines
// starting with '#' are skipped). An empty text when neither holds a key; an
// error when the store cannot be reached and no file is named, or when the
// file is refused.
Result<std::string> unattendedRankApiKey(SecretStore* store, const std::string& engine);

}  // namespace tolvan
