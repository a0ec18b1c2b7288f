#pragma once

#include <QIcon>
#include <QString>

namespace icons {

// A program's icon at the sizes desktops ask for, drawn from an SVG picture (a resource such as
// ":/icons/brindlewick.svg").
[[nodiscard]] QIcon IconFromPicture(const QString& picture);

} // namespace icons
