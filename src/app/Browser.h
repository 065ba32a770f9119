#pragma once
// Opens an address in the user's web browser: the command in $BROWSER (a list
// separated by ":", the first that starts wins; "%s" in a command stands for the
// address), else xdg-open. The address is always passed as one argument, never
// through a shell.
#include <QString>

class QWidget;

namespace tolvan::app {

// Starts the browser without waiting for it. Returns false when no browser
// command could be started.
bool openInBrowser(const QString& address);

// As openInBrowser, but tells the user in a message box when nothing could be
// started (parent: the window the box belongs to).
void openInBrowserOrTell(const QString& address, QWidget* parent);

}  // namespace tolvan::app
