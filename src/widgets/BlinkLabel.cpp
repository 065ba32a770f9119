#include "widgets/BlinkLabel.h"

#include <QPainter>

namespace tolvan::widgets {

BlinkLabel::BlinkLabel(QWidget* parent) : CaptionLabel(QString(), parent)
{
    timer_.setInterval(kBlinkInterval);
    connect(&timer_, &QTimer::timeout, this, [this] {
        shown_ = !shown_;
        update();
    });
}

void BlinkLabel::startBlinking()
{
    if (!timer_.isActive())
        timer_.start();
}

void BlinkLabel::stopBlinking()
{
    timer_.stop();
    shown_ = true;
    update();
}

void BlinkLabel::paintEvent(QPaintEvent* event)
{
    // The dark half of a blink paints the frame and background only.
    if (shown_) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    drawFrame(&p);
}

}  // namespace tolvan::widgets
