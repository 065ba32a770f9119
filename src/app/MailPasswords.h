#pragma once
// The mail password of the window: typed on the Options page, found in the
// desktop's secret store, or asked for when the store has none (or no secret
// service runs). What was typed or asked for is kept for the session only.
#include <QString>

#include <map>
#include <string>

class QWidget;

namespace tolvan::app {

class MailPasswords {
public:
    static MailPasswords& instance();

    // The password of `user` on `server` for a send: kept, stored or asked for.
    // Empty when the user cancels the question.
    std::string find(QWidget* parent, const std::string& user, const std::string& server);

    // A password typed on the Options page: kept for the session and put into
    // the secret store. Returns the store's error text, empty when stored.
    QString remember(const std::string& user, const std::string& server, const std::string& password);

    // Forgets what the session holds (tests).
    void clear() { session_.clear(); }

private:
    std::map<std::string, std::string> session_;
};

}  // namespace tolvan::app
