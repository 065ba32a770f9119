#pragma once
// The one application-wide error handler: an unexpected error inside any event
// handler is shown in an error box, only that handler ends, and the window
// stays open.
#include <QApplication>

#include <exception>
#include <utility>

namespace tolvan::app {

// Shows the error's text in the application's error box.
void reportException(const std::exception& e);
void reportUnknownException();

// Runs a handler body; an exception ends it and is shown. Our own handlers go
// through this so that no exception has to unwind through Qt's frames.
template <typename F>
bool guarded(F&& handler)
{
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const std::exception& e) {
        reportException(e);
    } catch (...) {
        reportUnknownException();
    }
    return false;
}

// The application object: catches whatever still escapes an event handler.
class TolvanApplication : public QApplication {
    Q_OBJECT
public:
    TolvanApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tolvan::app
