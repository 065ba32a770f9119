#include "app/QtEventPump.h"

#include <QCoreApplication>

namespace tolvan::app {

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QtEventPump& QtEventPump::instance()
{
    static QtEventPump pump;
    return pump;
}

}  // namespace tolvan::app
