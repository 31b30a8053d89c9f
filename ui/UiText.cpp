#include "UiText.h"

#include "Windows1252.h"

#include <QFont>

namespace halvio {

QString qtextFromCp1252(std::string_view cp1252) {
    return QString::fromStdString(utf8FromCp1252(cp1252));
}

std::string cp1252FromQtext(const QString& text) {
    return cp1252FromUtf8(text.toStdString());
}

QFont pixelFont(const QString& family, int pixelSize, bool bold) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace halvio
