#include "widgets/CaptionLabel.h"

#include <QFontMetrics>
#include <QStyle>
#include <QTextDocument>

#include <algorithm>

namespace tolvan::widgets {

CaptionLabel::CaptionLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
}

CaptionLabel::Inputs CaptionLabel::inputs() const
{
    Inputs in;
    in.text = text();
    in.font = font();
    in.flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
    in.margin = margin();
    in.indent = indent();
    in.frameWidth = frameWidth();
    in.dpiX = logicalDpiX();
    in.dpiY = logicalDpiY();
    in.contents = contentsMargins();
    in.minimum = minimumSize();
    return in;
}

// A label QLabel lays out as one plain text: no rich text or text control, no
// mnemonic, left to right. (Setting a picture, pixmap or movie clears the text.)
bool CaptionLabel::measuresPlainText() const
{
    const QString& t = text();
    if (t.isEmpty() || t.contains(QLatin1Char('&')) || t.isRightToLeft())
        return false;
    const Qt::TextInteractionFlags interaction = textInteractionFlags();
    if (interaction != Qt::NoTextInteraction && interaction != Qt::LinksAccessibleByMouse)
        return false;
    return textFormat() == Qt::PlainText || (textFormat() == Qt::AutoText && !Qt::mightBeRichText(t));
}

// The size QLabel gives such a label without word wrap: its text on a page
// 2000 pixels wide (the text is not wrapped, so the width does not matter),
// plus margins, indent and frame, at least the minimum size.
QSize CaptionLabel::plainSize(const Inputs& in) const
{
    const QFontMetrics metrics = fontMetrics();
    const int align = static_cast<int>(QStyle::visualAlignment(
        Qt::LeftToRight, Qt::Alignment(in.flags) | Qt::Alignment(Qt::TextExpandTabs)));
    int hextra = 2 * in.margin;
    int vextra = hextra;
    int indentation = in.indent;
    if (indentation < 0 && in.frameWidth)
        indentation = metrics.horizontalAdvance(QLatin1Char('x')) - in.margin * 2;
    if (indentation > 0) {
        if (align & (Qt::AlignLeft | Qt::AlignRight))
            hextra += indentation;
        if (align & (Qt::AlignTop | Qt::AlignBottom))
            vextra += indentation;
    }
    const QSize contents(in.contents.left() + in.contents.right(), in.contents.top() + in.contents.bottom());
    const int width = std::max(2000, in.minimum.width()) - (hextra + contents.width());
    const QRect text
        = metrics.boundingRect(0, 0, width, 2000, align & ~(Qt::AlignVCenter | Qt::AlignHCenter), in.text);
    return (QSize(text.width() + hextra, text.height() + vextra) + contents).expandedTo(in.minimum);
}

QSize CaptionLabel::sizeHint() const
{
    ensurePolished();
    if (wordWrap() || !measuresPlainText())
        return QLabel::sizeHint();
    Inputs in = inputs();
    if (!size_.isValid() || !(in == sizeInputs_)) {
        size_ = plainSize(in);
        sizeInputs_ = std::move(in);
    }
    return size_;
}

// Unwrapped, the narrowest width and the one-line height are the size itself.
QSize CaptionLabel::minimumSizeHint() const
{
    ensurePolished();
    if (wordWrap() || !measuresPlainText())
        return QLabel::minimumSizeHint();
    return sizeHint();
}

int CaptionLabel::heightForWidth(int width) const
{
    if (width < 0 || !measuresPlainText())
        return QLabel::heightForWidth(width);
    if (!wordWrap())
        return sizeHint().height();
    Inputs in = inputs();
    if (!(in == heightInputs_)) {
        heightInputs_ = std::move(in);
        heightCount_ = 0;
    }
    auto* const end = heights_.begin() + heightCount_;
    auto* found
        = std::find_if(heights_.begin(), end, [width](const auto& entry) { return entry.first == width; });
    std::pair<int, int> entry;
    if (found != end) {
        entry = *found;
    } else {
        entry = { width, QLabel::heightForWidth(width) };
        if (heightCount_ < static_cast<int>(heights_.size()))
            ++heightCount_;
        found = heights_.begin() + heightCount_ - 1;
    }
    std::move_backward(heights_.begin(), found, found + 1); // most recent first
    heights_[0] = entry;
    return entry.second;
}

} // namespace tolvan::widgets
