#pragma once
// The one place where the system's Windows-1252 bytes meet the widgets' QString.

#include <QString>
#include <QStringList>

class QFont;

#include <string>
#include <string_view>

namespace halvio {

QString qtextFromCp1252(std::string_view cp1252);
std::string cp1252FromQtext(const QString& text);

// The families asked for when the design names `family`: the family itself first, then one with
// the same metrics where the workstation lacks it.
QStringList designedFamilies(const QString& family);

// Fonts are given in pixels: the window was designed at 96 dots per inch. Every font of the
// updater's windows is made here, so that the metric-compatible family is asked for everywhere.
QFont pixelFont(const QString& family, int pixelSize, bool bold = false);

} // namespace halvio
