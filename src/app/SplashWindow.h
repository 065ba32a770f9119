#pragma once
// The splash window shown while the main window is created: borderless,
// 270 by 90, centred, one picture. It stays up at least 1800 ms.
#include <QTimer>
#include <QWidget>

namespace tolvan::app {

class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);

    // Set on creation; the first tick of splashtimer clears it.
    bool showing() const { return showing_; }

    QTimer* splashtimer = nullptr;

public slots:
    void splashtimerTimer();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool showing_ = true;
};

}  // namespace tolvan::app
