#include "app/Browser.h"

#include <QProcess>
#include <QStringList>

#include "app/Messages.h"

namespace tolvan::app {

namespace {

bool startCommand(const QString& command, const QString& address)
{
    QStringList args = QProcess::splitCommand(command);
    if (args.isEmpty())
        return false;
    const QString program = args.takeFirst();
    bool substituted = false;
    for (QString& arg : args) {
        if (arg.contains(QLatin1String("%s"))) {
            arg.replace(QLatin1String("%s"), address);
            substituted = true;
        }
    }
    if (!substituted)
        args << address;
    return QProcess::startDetached(program, args);
}

}  // namespace

bool openInBrowser(const QString& address)
{
    const QString browsers = qEnvironmentVariable("BROWSER");
    for (const QString& command : browsers.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (startCommand(command, address))
            return true;
    }
    return QProcess::startDetached(QStringLiteral("xdg-open"), {address});
}

void openInBrowserOrTell(const QString& address, QWidget* parent)
{
    if (!openInBrowser(address))
        showMessage(parent, QStringLiteral("No web browser could be started for %1.\n"
                                           "Set the BROWSER environment variable or install xdg-utils.")
                                .arg(address));
}

}  // namespace tolvan::app
