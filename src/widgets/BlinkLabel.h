#pragma once
// A status label whose text can blink (300 ms). text() always returns the
// text; blinking only hides it on screen every other tick.
#include "widgets/CaptionLabel.h"
#include <QTimer>

namespace tolvan::widgets {

class BlinkLabel : public CaptionLabel {
    Q_OBJECT
public:
    explicit BlinkLabel(QWidget* parent = nullptr);

    static constexpr int kBlinkInterval = 300;
    bool isBlinking() const { return timer_.isActive(); }
    bool textShown() const { return shown_; }

public slots:
    void startBlinking();
    void stopBlinking();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    bool shown_ = true;
};

}  // namespace tolvan::widgets
