#pragma once

#include <QLocale>
#include <QStringList>

// The window speaks the system's language where a translation is shipped
// (English and Simplified Chinese now): Qt's own texts (dialog buttons, the
// file dialog) and ours, "marquee_<locale>.qm", looked for beside the
// program (translations/, as built) and where it is installed. The texts
// that files, the line and scripts rely on are never translated: the
// status texts ("rec success!", "MAX 1757 PAGES", "SENDING......"), the
// controller commands' messages and every text of marquee-cli.

// Where the .qm files are looked for, first found wins.
QStringList translationFolders();

// Installs the translations for locale on the application; false when ours
// has none for it (English then).
bool installTranslations(const QLocale& locale, const QStringList& folders = translationFolders());
