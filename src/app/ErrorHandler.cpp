#include "app/ErrorHandler.h"

#include "app/AppInfo.h"
#include "app/Artwork.h"
#include "app/Messages.h"
#include "util/ServerText.h"

namespace tolvan::app {

void reportException(const std::exception& e)
{
    // Errors may carry a server's reply (an SMTP or HTTP status line).
    showError(nullptr, QString::fromUtf8(cleanServerText(e.what())));
}

void reportUnknownException()
{
    showError(nullptr, QStringLiteral("An unexpected error occurred."));
}

TolvanApplication::TolvanApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kAppTitle));
    setApplicationVersion(QStringLiteral(TOLVAN_VERSION));
    // The desktop entry's id, so the desktop pairs the window with its menu entry and icon.
    setDesktopFileName(QString::fromLatin1(kDesktopFileId));
    setWindowIcon(applicationIcon());
}

bool TolvanApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportException(e);
    } catch (...) {
        reportUnknownException();
    }
    return false;
}

}  // namespace tolvan::app
