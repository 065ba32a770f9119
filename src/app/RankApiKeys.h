#pragma once
// The API keys of rank engines that need one: typed on the Options page, kept
// in the desktop's secret store (and for the session, should the store fail).
#include <QString>

#include <map>
#include <string>

namespace tolvan::app {

class RankApiKeys {
public:
    static RankApiKeys& instance();

    // The key of `engine`: kept this session, else from the secret store;
    // empty when there is none (the check then says which key is missing).
    std::string find(const std::string& engine);

    // A typed key: kept for the session and put into the secret store.
    // Returns the store's error text, empty when stored.
    QString remember(const std::string& engine, const std::string& key);

    // Whether a key is known for `engine` (the session's or the store's).
    bool has(const std::string& engine) { return !find(engine).empty(); }

    // Forgets what the session holds (tests).
    void clear() { session_.clear(); }

private:
    std::map<std::string, std::string> session_;
};

}  // namespace tolvan::app
