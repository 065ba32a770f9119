#include "widgets/LedLamp.h"

#include "widgets/LedAccessibility.h"

#include <QPainter>
#include <QRadialGradient>

namespace tolvan::widgets {

LedLamp::LedLamp(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    installLedAccessibility();
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

QString LedLamp::stateText() const
{
    if (!on_)
        return QStringLiteral("off");
    QString colour;
    switch (colorValue_) {
    case 65280: colour = QStringLiteral("green"); break;
    case 255: colour = QStringLiteral("red"); break;
    case 4227327: colour = QStringLiteral("orange"); break;
    default: colour = colorFromValue(colorValue_).name(); break;
    }
    return (interval_ > 0 ? QStringLiteral("flashing, ") : QStringLiteral("on, ")) + colour;
}

void LedLamp::setOn(bool on)
{
    const bool changed = on != on_;
    on_ = on;
    updateFlashing();
    if (changed)
        stateChangedNow();
}

void LedLamp::setColorValue(int value)
{
    const bool changed = value != colorValue_;
    colorValue_ = value;
    update();
    if (changed)
        stateChangedNow();
}

void LedLamp::setInterval(int ms)
{
    ms = ms < 0 ? 0 : ms;
    const bool changed = ms != interval_;
    interval_ = ms;
    updateFlashing();
    if (changed)
        stateChangedNow();
}

void LedLamp::stateChangedNow()
{
    emit stateChanged();
    notifyLedValueChanged(this);
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
