#pragma once
// SIGTERM, SIGINT and SIGHUP (a desktop session ending, Ctrl+C in the terminal,
// the terminal going away) must close the window the way File, Exit does, so
// every shutdown write happens. The signal handler only writes the signal
// number into a pipe; a socket notifier turns it into a Qt signal on the GUI
// thread.
#include <QObject>

class QSocketNotifier;

namespace tolvan::app {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; only one instance may exist at a time.
    explicit TerminationSignals(QObject* parent = nullptr);
    // Restores the previous handlers.
    ~TerminationSignals() override;

    // True once a termination signal has been taken in this process.
    static bool requested();
    // Forgets an earlier request (tests run several windows in one process).
    static void reset();

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
};

// Closes every modal dialog and message box (as Cancel would) so that a nested
// event loop ends and the close can go ahead.
void closeModalWindows();

}  // namespace tolvan::app
