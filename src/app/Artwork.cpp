#include "app/Artwork.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>

namespace tolvan::app {

namespace {

const QColor kDeep(16, 42, 92);
const QColor kSky(52, 120, 200);
const QColor kGold(250, 196, 60);

// A globe with a magnifying glass over it: sites being found.
void paintEmblem(QPainter& p, const QRectF& box)
{
    const qreal r = std::min(box.width(), box.height()) * 0.38;
    const QPointF c(box.left() + box.width() * 0.42, box.top() + box.height() * 0.45);

    QRadialGradient globe(c - QPointF(r * 0.35, r * 0.35), r * 1.4);
    globe.setColorAt(0, QColor(150, 210, 255));
    globe.setColorAt(1, kSky.darker(130));
    p.setPen(QPen(Qt::white, std::max<qreal>(1.0, r * 0.06)));
    p.setBrush(globe);
    p.drawEllipse(c, r, r);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 150), std::max<qreal>(0.8, r * 0.04)));
    p.drawEllipse(c, r * 0.45, r);
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    p.drawEllipse(c, r, r * 0.45);

    const QPointF lens = c + QPointF(r * 0.55, r * 0.5);
    const qreal lr = r * 0.42;
    p.setPen(QPen(kGold, std::max<qreal>(1.5, r * 0.14), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens + QPointF(lr * 0.7, lr * 0.7), lens + QPointF(lr * 1.9, lr * 1.9));
    p.setBrush(QColor(255, 255, 255, 90));
    p.setPen(QPen(kGold, std::max<qreal>(1.2, r * 0.1)));
    p.drawEllipse(lens, lr, lr);
}

void paintBackground(QPainter& p, const QRect& rect)
{
    QLinearGradient bg(rect.topLeft(), rect.bottomRight());
    bg.setColorAt(0, kDeep);
    bg.setColorAt(1, kSky);
    p.fillRect(rect, bg);
}

}  // namespace

QPixmap splashPicture(const QSize& size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect rect(QPoint(0, 0), size);
    paintBackground(p, rect);
    paintEmblem(p, QRectF(0, 0, size.height(), size.height()));

    QFont big = p.font();
    big.setBold(true);
    big.setPixelSize(size.height() * 2 / 5);
    p.setFont(big);
    p.setPen(Qt::white);
    const QRect textArea(size.height(), 4, size.width() - size.height() - 8, size.height() * 3 / 5);
    p.drawText(textArea, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Tolvan"));

    QFont small = p.font();
    small.setBold(false);
    small.setPixelSize(std::max(9, size.height() / 8));
    p.setFont(small);
    p.setPen(QColor(220, 232, 250));
    const QRect lower(size.height(), size.height() * 3 / 5 + 2, textArea.width(), size.height() * 2 / 5 - 6);
    p.drawText(lower, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Search engine submission"));
    p.drawText(lower, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Version 2.31"));

    p.setPen(QPen(QColor(255, 255, 255, 120), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect.adjusted(0, 0, -1, -1));
    return pm;
}

QPixmap aboutPicture(const QSize& size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paintBackground(p, QRect(QPoint(0, 0), size));
    paintEmblem(p, QRectF(0, 0, size.width(), size.height()));
    return pm;
}

namespace {

// Tolvan's icon, the same pictures the desktop's menu shows. They are read only
// when the icon is first drawn: start-up sets the icon long before anything
// shows it, and reading six pictures then would hold up the first frame.
class ResourceIconEngine : public QIconEngine {
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return loaded().pixmap(size, mode, state);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        loaded().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return loaded().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        // The pictures are added for the normal mode and state only.
        if (mode != QIcon::Normal || state != QIcon::Off)
            return {};
        QList<QSize> sizes;
        for (int side : kSides)
            sizes << QSize(side, side);
        return sizes;
    }
    QIconEngine* clone() const override { return new ResourceIconEngine; }
    QString key() const override { return QStringLiteral("tolvan-resource-icon"); }

private:
    static constexpr int kSides[] = {16, 32, 48, 64, 128, 256};

    const QIcon& loaded()
    {
        if (icon_.isNull())
            for (int side : kSides)
                icon_.addFile(QStringLiteral(":/icons/tolvan-%1.png").arg(side), QSize(side, side));
        return icon_;
    }

    QIcon icon_;
};

}  // namespace

QIcon applicationIcon()
{
    return QIcon(new ResourceIconEngine);
}

}  // namespace tolvan::app
