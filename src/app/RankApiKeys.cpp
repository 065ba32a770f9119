#include "app/RankApiKeys.h"

#include "app/DesktopSecretStore.h"
#include "secrets/SecretStore.h"

namespace tolvan::app {

RankApiKeys& RankApiKeys::instance()
{
    static RankApiKeys keys;
    return keys;
}

std::string RankApiKeys::find(const std::string& engine)
{
    if (auto kept = session_.find(engine); kept != session_.end())
        return kept->second;
    auto stored = DesktopSecretStore::instance().read(rankApiKeyKey(engine));
    if (stored.ok() && stored.value())
        return *stored.value();
    return {};
}

QString RankApiKeys::remember(const std::string& engine, const std::string& key)
{
    session_[engine] = key;
    const Status stored = DesktopSecretStore::instance().write(rankApiKeyKey(engine), key);
    return stored.ok() ? QString() : QString::fromStdString(stored.error().message);
}

}  // namespace tolvan::app
