#include "UiText.h"

#include "Windows1252.h"

#include <QFont>
#include <QStringList>

namespace halvio {

QString qtextFromCp1252(std::string_view cp1252) {
    return QString::fromStdString(utf8FromCp1252(cp1252));
}

std::string cp1252FromQtext(const QString& text) {
    return cp1252FromUtf8(text.toStdString());
}

QStringList designedFamilies(const QString& family) {
    // The window was drawn with Arial's advance widths. Where Arial is missing (a fresh Debian),
    // Liberation Sans has the same widths; left to itself the toolkit would take a wider family and
    // cut the captions.
    if (family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        return {family, QStringLiteral("Liberation Sans")};
    return {family};
}

QFont pixelFont(const QString& family, int pixelSize, bool bold) {
    QFont font;
    font.setFamilies(designedFamilies(family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace halvio
