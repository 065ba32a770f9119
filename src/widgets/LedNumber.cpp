#include "widgets/LedNumber.h"

#include "widgets/LedAccessibility.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <array>

namespace tolvan::widgets {

namespace {

// Segments a..g of each digit 0-9, bit 0 = a (top), clockwise, g = middle.
constexpr std::array<unsigned, 10> kSegments{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

QPolygonF horizontal(qreal x, qreal y, qreal len, qreal t)
{
    return QPolygonF({QPointF(x, y), QPointF(x + t / 2, y - t / 2), QPointF(x + len - t / 2, y - t / 2),
                      QPointF(x + len, y), QPointF(x + len - t / 2, y + t / 2), QPointF(x + t / 2, y + t / 2)});
}

QPolygonF vertical(qreal x, qreal y, qreal len, qreal t)
{
    return QPolygonF({QPointF(x, y), QPointF(x + t / 2, y + t / 2), QPointF(x + t / 2, y + len - t / 2),
                      QPointF(x, y + len), QPointF(x - t / 2, y + len - t / 2), QPointF(x - t / 2, y + t / 2)});
}

}  // namespace

LedNumber::LedNumber(QWidget* parent, int digits) : QWidget(parent), digits_(std::max(1, digits))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    installLedAccessibility();
}

void LedNumber::setValue(int value)
{
    value = std::max(0, value);
    if (value == value_)
        return;
    value_ = value;
    update();
    emit valueChanged(value_);
    notifyLedValueChanged(this);
}

void LedNumber::setBlankWhenZero(bool blank)
{
    if (blank == blankWhenZero_)
        return;
    blankWhenZero_ = blank;
    update();
    if (value_ == 0) {  // the text shown changed
        emit valueChanged(value_);
        notifyLedValueChanged(this);
    }
}

void LedNumber::setDigits(int digits)
{
    digits_ = std::max(1, digits);
    updateGeometry();
    update();
}

void LedNumber::setLitColor(const QColor& color)
{
    lit_ = color;
    update();
}

QString LedNumber::displayText() const
{
    if (value_ == 0 && blankWhenZero_)
        return {};
    return QString::number(value_);
}

QSize LedNumber::sizeHint() const { return {digits_ * 14 + 6, 26}; }
QSize LedNumber::minimumSizeHint() const { return sizeHint(); }

void LedNumber::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(16, 16, 16));

    const QString text = displayText();
    const int cells = std::max<int>(digits_, static_cast<int>(text.size()));
    const qreal margin = 3;
    const qreal cellW = (width() - 2 * margin) / cells;
    const qreal h = height() - 2 * margin;
    const qreal w = std::min(cellW * 0.64, h * 0.5);
    const qreal t = std::max<qreal>(1.6, w * 0.2);
    const qreal gap = std::max<qreal>(0.6, t * 0.25);  // keeps the segments apart at the corners
    const qreal half = h / 2;
    // Dark segments: a faint trace of the lit colour over the background.
    const QColor unlit(16 + lit_.red() / 12, 16 + lit_.green() / 12, 16 + lit_.blue() / 12);

    for (int cell = 0; cell < cells; ++cell) {
        // Right-aligned: the text occupies the last text.size() cells, the rest stay dark.
        const int index = cell - (cells - static_cast<int>(text.size()));
        const unsigned mask = index >= 0 ? kSegments[static_cast<std::size_t>(text.at(index).digitValue())] : 0U;
        const qreal x = margin + cell * cellW + (cellW - w) / 2;
        const qreal y = margin;
        const qreal vLen = half - t / 2 - 2 * gap;
        const std::array<QPolygonF, 7> segs{horizontal(x + gap, y + t / 2, w - 2 * gap, t),
                                            vertical(x + w, y + t / 2 + gap, vLen, t),
                                            vertical(x + w, y + half + gap, vLen, t),
                                            horizontal(x + gap, y + h - t / 2, w - 2 * gap, t),
                                            vertical(x, y + half + gap, vLen, t),
                                            vertical(x, y + t / 2 + gap, vLen, t),
                                            horizontal(x + gap, y + half, w - 2 * gap, t)};
        p.setPen(Qt::NoPen);
        for (std::size_t s = 0; s < segs.size(); ++s) {
            p.setBrush((mask >> s) & 1U ? lit_ : unlit);
            p.drawPolygon(segs[s]);
        }
    }
}

}  // namespace tolvan::widgets
