#pragma once
// The toolkit's own texts in French: the details button of a message box, the context menu of the
// log, the standard buttons. Qt's French catalogue ships with Qt (Debian: qt6-translations-l10n).

class QCoreApplication;

namespace halvio {

// Installs Qt's French catalogue on the application, once. False when no catalogue was found (the
// toolkit's texts then stay in English).
bool useFrenchToolkitTexts(QCoreApplication& application);

} // namespace halvio
