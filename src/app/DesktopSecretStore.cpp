#include "app/DesktopSecretStore.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace tolvan::app {

namespace {

QString q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Runs a job to its end (the caller owns it).
void runJob(QKeychain::Job& job)
{
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.setAutoDelete(false);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

Error jobError(const QKeychain::Job& job, const char* what)
{
    return Error{static_cast<int>(job.error()), std::string("The desktop's secret store could not ") + what + ": " +
                                                    job.errorString().toStdString()};
}

}  // namespace

Result<std::optional<std::string>> DesktopSecretStore::read(const std::string& key)
{
    QKeychain::ReadPasswordJob job(QString::fromLatin1(kSecretService));
    job.setKey(q(key));
    runJob(job);
    if (job.error() == QKeychain::EntryNotFound)
        return std::optional<std::string>();
    if (job.error() != QKeychain::NoError)
        return jobError(job, "be read");
    return std::optional<std::string>(job.textData().toStdString());
}

Status DesktopSecretStore::write(const std::string& key, const std::string& secret)
{
    QKeychain::WritePasswordJob job(QString::fromLatin1(kSecretService));
    job.setKey(q(key));
    job.setTextData(q(secret));
    runJob(job);
    if (job.error() != QKeychain::NoError)
        return jobError(job, "store the secret");
    return Ok{};
}

Status DesktopSecretStore::remove(const std::string& key)
{
    QKeychain::DeletePasswordJob job(QString::fromLatin1(kSecretService));
    job.setKey(q(key));
    runJob(job);
    if (job.error() != QKeychain::NoError && job.error() != QKeychain::EntryNotFound)
        return jobError(job, "remove the secret");
    return Ok{};
}

DesktopSecretStore& DesktopSecretStore::instance()
{
    static DesktopSecretStore store;
    return store;
}

}  // namespace tolvan::app
