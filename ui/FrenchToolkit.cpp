#include "FrenchToolkit.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace halvio {

bool useFrenchToolkitTexts(QCoreApplication& application) {
    static constexpr const char* kInstalled = "halvioFrenchToolkit";
    if (application.property(kInstalled).toBool())
        return true;
    auto* catalogue = new QTranslator(&application);
    // Beside the program first (how a Windows installation carries it), then Qt's own folder.
    const QLocale french(QLocale::French, QLocale::France);
    for (const QString& folder : {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (catalogue->load(french, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            application.installTranslator(catalogue);
            application.setProperty(kInstalled, true);
            return true;
        }
    }
    delete catalogue;
    return false;
}

} // namespace halvio
