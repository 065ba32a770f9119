#pragma once
// A round LED lamp. Its colour is a colour value as the program stores it
// (0x00BBGGRR: 65280 green, 255 red, 4227327 orange). With an interval above
// zero a lit lamp flashes at that period.
#include <QColor>
#include <QTimer>
#include <QWidget>

namespace tolvan::widgets {

class LedLamp : public QWidget {
    Q_OBJECT
public:
    explicit LedLamp(QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    int colorValue() const { return colorValue_; }
    int interval() const { return interval_; }
    static QColor colorFromValue(int value);

    QSize sizeHint() const override { return {18, 18}; }

public slots:
    void setOn(bool on);
    void setColorValue(int value);
    void setInterval(int ms);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateFlashing();

    bool on_ = false;
    bool flashPhase_ = true;
    int colorValue_ = 65280;
    int interval_ = 0;
    QTimer flash_;
};

}  // namespace tolvan::widgets
