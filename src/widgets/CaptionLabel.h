#pragma once
// A QLabel that measures its text once. A label measures its text three times
// for its size hints (its size, its height on one line, its narrowest width);
// for one plain, unwrapped text these are the same measurement, and measuring
// text is most of what laying out the window's pages costs at start-up. A
// word-wrapped label also keeps the heights it gave for the widths layouts
// asked about. Everything else (rich text, pictures, mnemonics, frames with an
// indent) is measured by QLabel itself.
#include <QFont>
#include <QLabel>
#include <QMargins>
#include <QSize>
#include <QString>

#include <array>
#include <utility>

namespace tolvan::widgets {

class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    explicit CaptionLabel(const QString& text = QString(), QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

private:
    // Everything a measurement depends on. Compared at every call, so a
    // measurement never outlives a change of text, font, alignment or margins.
    struct Inputs {
        QString text;
        QFont font;
        int flags = 0;
        int margin = 0;
        int indent = 0;
        int frameWidth = 0;
        int dpiX = 0;
        int dpiY = 0;
        QMargins contents;
        QSize minimum;
        bool operator==(const Inputs&) const = default;
    };
    Inputs inputs() const;
    bool measuresPlainText() const;
    QSize plainSize(const Inputs& in) const;

    mutable Inputs sizeInputs_;
    mutable QSize size_; // invalid: not measured
    mutable Inputs heightInputs_;
    mutable std::array<std::pair<int, int>, 6> heights_ {}; // width -> height, most recent first
    mutable int heightCount_ = 0;
};

} // namespace tolvan::widgets
