#include "service/SentFiles.h"

#include "core/ProgramFolder.h"
#include "import/PictureImport.h"
#include "pages/PlayListFile.h"
#include "platform/AtomicFile.h"
#include "platform/PictureHeader.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// The batches a sign keeps: the one shown and the one before.
constexpr int kKeptBatches = 2;
constexpr int kMaxNameChars = 100;

bool isPictureName(const QString& name) {
    return loadFileKind(name) == LoadFileKind::Picture;
}

bool isListName(const QString& name) {
    return name.endsWith(QLatin1String(".lis"), Qt::CaseInsensitive);
}

bool plainName(const QString& name) {
    return !name.isEmpty() && name.size() <= kMaxNameChars && !name.startsWith(QLatin1Char('.')) &&
           QFileInfo(name).fileName() == name && insideFolder(name) &&
           !name.contains(QLatin1Char('\\')) && std::none_of(name.begin(), name.end(), [](QChar c) {
               return c.category() == QChar::Other_Control;
           });
}

}  // namespace

QString keepSentFiles(const Sign& sign, const QString& signFolder, const QString& face,
                      const QString& batch, const SentFiles& files, QString* list) {
    if (files.size() > size_t(kMaxSentFiles)) {
        return QStringLiteral("at most %1 files come with a send").arg(kMaxSentFiles);
    }
    const QSize screen(sign.settings.WIDTH, sign.settings.HEIGHT);
    for (const auto& [name, bytes] : files) {
        if (!plainName(name) || !(isPictureName(name) || isListName(name))) {
            return QStringLiteral("\"%1\" is no plain name of a .lis, .bmp, .jpg or .png file")
                .arg(name.left(kMaxNameChars));
        }
        if (isPictureName(name)) {
            // The header only: a small file claiming a vast picture stops here.
            const PictureHeader header = parsePictureHeader(bytes, bytes.size(), screen, nullptr);
            if (!header.error.isEmpty()) {
                return pictureError(name, header.error);
            }
        }
    }
    QByteArray listBytes;
    if (list->isEmpty()) {
        if (files.size() != 1 || !isPictureName(files.begin()->first)) {
            return QStringLiteral("send a .lis with its pictures, or one picture");
        }
        // A picture alone becomes a list of one page with the default values.
        PlayList one;
        one[1].FileName = files.begin()->first;
        *list = QStringLiteral("%1.lis").arg(QFileInfo(files.begin()->first).completeBaseName());
        listBytes = formatPlayList(one, 1);
    } else if (!files.count(*list) || !isListName(*list)) {
        return QStringLiteral("the list must be one of the .lis files sent along");
    } else {
        listBytes = files.at(*list);
    }
    const PlayListParse parsed = parsePlayList(listBytes);
    if (!parsed.error.isEmpty() || parsed.pages.empty()) {
        return QStringLiteral("%1 is no play list: %2")
            .arg(*list, parsed.error.isEmpty() ? QStringLiteral("no page") : parsed.error);
    }
    const QString folder = QStringLiteral("%1/%2/%3")
                               .arg(face, shortHash(sign.name.toUtf8()), shortHash(batch.toUtf8()));
    PlayList items;
    int page = 0;
    for (PlayItem item : parsed.pages) {
        ++page;
        if (files.count(item.FileName) && isPictureName(item.FileName)) {
            item.FileName = folder + QLatin1Char('/') + item.FileName;
        } else if (!item.FileName.isEmpty() && !insideFolder(item.FileName)) {
            return QStringLiteral(
                       "page %1 names %2, which is neither sent along nor inside the "
                       "sign folder")
                .arg(page)
                .arg(item.FileName.left(kMaxNameChars));
        }
        items[size_t(page)] = item;
    }
    const QString target = QDir(signFolder).filePath(folder);
    if (!QDir().mkpath(target)) {
        return QStringLiteral("cannot make %1").arg(target);
    }
    for (const auto& [name, bytes] : files) {
        if (isListName(name)) {
            continue;  // only the list in use is kept, rewritten
        }
        QString error;
        if (!writeFileAtomically(QDir(target).filePath(name), bytes, &error)) {
            return error;
        }
    }
    QString error;
    if (!writeFileAtomically(QDir(target).filePath(*list), formatPlayList(items, page), &error)) {
        return error;
    }
    // The sign's older batches go, but for the one it may show now.
    QDir signDir(QFileInfo(target).absolutePath());
    const QFileInfoList older =
        signDir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time);
    for (int i = kKeptBatches; i < older.size(); ++i) {
        QDir(older[i].absoluteFilePath()).removeRecursively();
    }
    *list = folder + QLatin1Char('/') + *list;
    return {};
}
