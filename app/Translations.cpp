#include "app/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

QStringList translationFolders() {
    const QString programDir = QCoreApplication::applicationDirPath();
    return {QDir(programDir).filePath(QStringLiteral("translations")),
            QDir(programDir).filePath(QStringLiteral("../share/marquee/translations")),
            QStringLiteral(MARQUEE_TRANSLATIONS_DIR)};
}

bool installTranslations(const QLocale& locale, const QStringList& folders) {
    // Kept for the whole run; the application holds them by pointer.
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    }
    auto* ours = new QTranslator(QCoreApplication::instance());
    for (const QString& folder : folders) {
        if (ours->load(locale, QStringLiteral("marquee"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(ours);
            return true;
        }
    }
    delete ours;
    return false;
}
