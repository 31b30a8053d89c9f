#pragma once
// The few pictures of the windows, drawn here so that the program ships no image files.

#include <QIcon>
#include <QPixmap>

namespace halvio::pictures {

QIcon greenTick();
QIcon redNoEntry(); // a red circle crossed by a bar
QIcon redCross();
QPixmap programIcon(int size);
QIcon currentRowMarker(); // the grid's indicator column

} // namespace halvio::pictures
