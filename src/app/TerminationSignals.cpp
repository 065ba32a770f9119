#include "app/TerminationSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tolvan::app {

namespace {

int pipeFds[2] = {-1, -1};
bool requestedFlag = false;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction previous[3];

extern "C" void onTerminationSignal(int signo)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    // A full pipe means a close is already pending: dropping the byte is fine.
    [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (pipeFds[0] != -1)
        throw std::logic_error("termination signals are already being handled");
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot create the signal pipe");
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &sa, &previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

bool TerminationSignals::requested() { return requestedFlag; }
void TerminationSignals::reset() { requestedFlag = false; }

void TerminationSignals::readPipe()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(pipeFds[0], &byte, 1) == 1)
        last = byte;
    if (last == 0)
        return;
    requestedFlag = true;
    emit received(last);
}

void closeModalWindows()
{
    // Each rejected dialog hides at once; the bound guards against a widget
    // that refuses to close.
    for (int i = 0; i < 32; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            modal->hide();
    }
}

}  // namespace tolvan::app
