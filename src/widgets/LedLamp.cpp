#include "widgets/LedLamp.h"

#include <QPainter>
#include <QRadialGradient>

namespace tolvan::widgets {

LedLamp::LedLamp(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&flash_, &QTimer::timeout, this, [this] {
        flashPhase_ = !flashPhase_;
        update();
    });
}

QColor LedLamp::colorFromValue(int value)
{
    const auto v = static_cast<unsigned>(value);
    return QColor(static_cast<int>(v & 0xFFU), static_cast<int>((v >> 8) & 0xFFU),
                  static_cast<int>((v >> 16) & 0xFFU));
}

void LedLamp::setOn(bool on)
{
    on_ = on;
    updateFlashing();
}

void LedLamp::setColorValue(int value)
{
    colorValue_ = value;
    update();
}

void LedLamp::setInterval(int ms)
{
    interval_ = ms < 0 ? 0 : ms;
    updateFlashing();
}

void LedLamp::updateFlashing()
{
    flashPhase_ = true;
    if (on_ && interval_ > 0) {
        // Half the period lit, half dark.
        flash_.start(interval_ / 2 > 0 ? interval_ / 2 : 1);
    } else {
        flash_.stop();
    }
    update();
}

void LedLamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal d = std::min(width(), height()) - 2;
    const QRectF r((width() - d) / 2, (height() - d) / 2, d, d);
    const QColor base = colorFromValue(colorValue_);
    const bool lit = on_ && flashPhase_;
    QRadialGradient g(r.center() - QPointF(d / 5, d / 5), d / 1.4);
    if (lit) {
        g.setColorAt(0, base.lighter(170));
        g.setColorAt(1, base);
    } else {
        g.setColorAt(0, base.darker(250));
        g.setColorAt(1, base.darker(500));
    }
    p.setBrush(g);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.drawEllipse(r);
}

}  // namespace tolvan::widgets
