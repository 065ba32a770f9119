#pragma once
// The program's pictures (splash, About box, window icon), drawn rather than
// shipped as bitmaps so they stay sharp at any scale.
#include <QIcon>
#include <QPixmap>

namespace tolvan::app {

QPixmap splashPicture(const QSize& size);
QPixmap aboutPicture(const QSize& size);
QIcon applicationIcon();

}  // namespace tolvan::app
