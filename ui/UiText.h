#pragma once
// The one place where the system's Windows-1252 bytes meet the widgets' QString.

#include <QString>

class QFont;

#include <string>
#include <string_view>

namespace halvio {

QString qtextFromCp1252(std::string_view cp1252);
std::string cp1252FromQtext(const QString& text);

// Fonts are given in pixels: the window was designed at 96 dots per inch.
QFont pixelFont(const QString& family, int pixelSize, bool bold = false);

} // namespace halvio
