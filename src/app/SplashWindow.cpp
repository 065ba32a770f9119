#include "app/SplashWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "app/Artwork.h"
#include "app/FontConfiguration.h"

namespace tolvan::app {

SplashWindow::SplashWindow(QWidget* parent)
    // An ordinary borderless window, not one the window manager keeps on top:
    // start-up messages must come up above it.
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("splashfrm"));
    fontConfiguration::waitUntilRead();
    setFixedSize(270, 90);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    splashtimer = new QTimer(this);
    splashtimer->setObjectName(QStringLiteral("splashtimer"));
    splashtimer->setInterval(1800);
    splashtimer->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5% early
    connect(splashtimer, &QTimer::timeout, this, &SplashWindow::splashtimerTimer);
    splashtimer->start();
}

void SplashWindow::splashtimerTimer() { showing_ = false; }

void SplashWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, splashPicture(size()));
}

}  // namespace tolvan::app
