#include "app/MailPasswords.h"

#include <QInputDialog>
#include <QLineEdit>

#include "app/DesktopSecretStore.h"
#include "secrets/SecretStore.h"

namespace tolvan::app {

MailPasswords& MailPasswords::instance()
{
    static MailPasswords passwords;
    return passwords;
}

std::string MailPasswords::find(QWidget* parent, const std::string& user, const std::string& server)
{
    const std::string key = smtpPasswordKey(user, server);
    if (auto kept = session_.find(key); kept != session_.end())
        return kept->second;
    QString why = QStringLiteral("The desktop's secret store holds no password for this account.");
    auto stored = DesktopSecretStore::instance().read(key);
    if (stored.ok() && stored.value())
        return *stored.value();
    if (!stored.ok())
        why = QString::fromStdString(stored.error().message) + QLatin1Char('.');
    bool ok = false;
    const QString typed = QInputDialog::getText(
        parent, QStringLiteral("Tolvan E-Mail Password"),
        why + QStringLiteral("\n\nPassword of ") + QString::fromStdString(user) + QStringLiteral(" on ") +
            QString::fromStdString(server) + QLatin1Char(':'),
        QLineEdit::Password, QString(), &ok);
    if (!ok || typed.isEmpty())
        return {};
    session_[key] = typed.toStdString();
    return session_[key];
}

QString MailPasswords::remember(const std::string& user, const std::string& server, const std::string& password)
{
    const std::string key = smtpPasswordKey(user, server);
    session_[key] = password;
    const Status stored = DesktopSecretStore::instance().write(key, password);
    return stored.ok() ? QString() : QString::fromStdString(stored.error().message);
}

}  // namespace tolvan::app
