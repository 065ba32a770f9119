#pragma once
// A round LED lamp. Its colour is a colour value as the program stores it
// (0x00BBGGRR: 65280 green, 255 red, 4227327 orange). With an interval above
// zero a lit lamp flashes at that period.
#include <QColor>
#include <QTimer>
#include <QWidget>

namespace tolvan::widgets {

// Whether it is lit, its colour and its state text ("off", "on", "flashing",
// with the colour's name) are Qt properties and the accessible value.
class LedLamp : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool on READ isOn WRITE setOn NOTIFY stateChanged)
    Q_PROPERTY(int colorValue READ colorValue WRITE setColorValue NOTIFY stateChanged)
    Q_PROPERTY(int interval READ interval WRITE setInterval NOTIFY stateChanged)
    Q_PROPERTY(QString stateText READ stateText NOTIFY stateChanged)
public:
    explicit LedLamp(QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    int colorValue() const { return colorValue_; }
    int interval() const { return interval_; }
    static QColor colorFromValue(int value);
    // "off", or "on" / "flashing" followed by the colour ("on, green").
    QString stateText() const;

    QSize sizeHint() const override { return {18, 18}; }

public slots:
    void setOn(bool on);
    void setColorValue(int value);
    void setInterval(int ms);

signals:
    void stateChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateFlashing();
    void stateChangedNow();

    bool on_ = false;
    bool flashPhase_ = true;
    int colorValue_ = 65280;
    int interval_ = 0;
    QTimer flash_;
};

}  // namespace tolvan::widgets
