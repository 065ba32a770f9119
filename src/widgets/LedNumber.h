#pragma once
// A seven-segment LED number panel: a few digits of a non-negative number,
// leading zeros dark, optionally blank altogether when the value is 0.
#include <QColor>
#include <QWidget>

namespace tolvan::widgets {

// The value and the text shown are Qt properties and reach screen readers as
// the accessible value; the accessible name is accessibleName(), else the tool tip.
class LedNumber : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(QString displayText READ displayText NOTIFY valueChanged)
    Q_PROPERTY(int digits READ digits WRITE setDigits)
    Q_PROPERTY(bool blankWhenZero READ blankWhenZero WRITE setBlankWhenZero NOTIFY valueChanged)
public:
    explicit LedNumber(QWidget* parent = nullptr, int digits = 3);

    int value() const { return value_; }
    int digits() const { return digits_; }
    bool blankWhenZero() const { return blankWhenZero_; }
    void setBlankWhenZero(bool blank);
    void setDigits(int digits);
    void setLitColor(const QColor& color);
    // The text the panel shows ("" when blank); a value wider than the panel
    // widens the row of digits rather than losing its high digits.
    QString displayText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setValue(int value);

signals:
    void valueChanged(int value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int value_ = 0;
    int digits_ = 3;
    bool blankWhenZero_ = false;
    QColor lit_{QColor(255, 48, 32)};
};

}  // namespace tolvan::widgets
