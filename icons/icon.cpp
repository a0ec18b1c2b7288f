#include "icons/icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace icons {

QIcon IconFromPicture(const QString& picture) {
  QSvgRenderer renderer(picture);
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

} // namespace icons
