#include "import/LivePage.h"

#include "core/JsonText.h"
#include "core/ProgramFolder.h"
#include "platform/AtomicFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <vector>

namespace {

// Renderings of a live page older than this are removed when it is rendered
// again (the newest always stays): a transfer still reading one has its
// pictures checked and opened long before.
constexpr qint64 kKeepRenderingsSeconds = 15 * 60;

QString readColour(const QJsonObject& object, const char* key, QColor* colour) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        return {};
    }
    const QString text = value.toString().trimmed();
    const int index = colourIndex(text.toLower());
    if (index >= 0) {
        *colour = colourAt(index);
        return {};
    }
    if (text.startsWith(QLatin1Char('#')) && QColor::isValidColorName(text)) {
        *colour = QColor::fromString(text);
        return {};
    }
    return QStringLiteral("%1 \"%2\" is not a colour (%3, or #RRGGBB)")
        .arg(QLatin1String(key), text, colourNames().join(QStringLiteral(", ")));
}

QString readBool(const QJsonObject& object, const char* key, bool* flag) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        return {};
    }
    if (!value.isBool()) {
        return QStringLiteral("%1 must be true or false").arg(QLatin1String(key));
    }
    *flag = value.toBool();
    return {};
}

QString readWhole(const QJsonObject& object, const char* key, int low, int high, int* number) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        return {};
    }
    const double read = value.toDouble(-1e9);
    if (!value.isDouble() || read != static_cast<int>(read) || read < low || read > high) {
        return QStringLiteral("%1 must be a whole number from %2 to %3")
            .arg(QLatin1String(key))
            .arg(low)
            .arg(high);
    }
    *number = static_cast<int>(read);
    return {};
}

QString readText(const QJsonObject& object, const char* key, QString* text) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        return {};
    }
    if (!value.isString()) {
        return QStringLiteral("%1 must be a text").arg(QLatin1String(key));
    }
    *text = value.toString();
    return {};
}

QDateTime modifiedAt(const QString& path) {
    const QFileInfo info(path);
    return info.exists() ? info.lastModified() : QDateTime();
}

// The first line of the file at path, at most kMaxLiveLineBytes of it.
QString firstLine(const QString& path, QString* error) {
    if (!QFileInfo::exists(path)) {
        *error = QStringLiteral("there is no file %1").arg(path);
        return {};
    }
    ReadableFile file;
    QByteArray bytes;
    if (!file.open(path, kMaxFieldFileBytes, error) ||
        !file.readAt(0, kMaxLiveLineBytes, &bytes, error)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, *error);
        return {};
    }
    const int end = bytes.indexOf('\n');
    if (end >= 0) {
        bytes.truncate(end);
    }
    if (bytes.endsWith('\r')) {
        bytes.chop(1);
    }
    return decodeText(bytes);
}

QByteArray bmpBytes(const QImage& image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    writer.write(image.convertToFormat(QImage::Format_RGB32));  // 24 bits a pixel
    return buffer.data();
}

// The newest file of the renderings named prefix*.bmp in the .live folder.
QFileInfo newestRendering(const QDir& renderings, const QString& prefix) {
    const QFileInfoList found = renderings.entryInfoList({prefix + QStringLiteral("*.bmp")},
                                                         QDir::Files | QDir::Hidden, QDir::Time);
    return found.isEmpty() ? QFileInfo() : found.first();
}

void removeOldRenderings(const QDir& renderings, const QString& prefix, const QString& keep,
                         const QDateTime& now) {
    const QFileInfoList found =
        renderings.entryInfoList({prefix + QStringLiteral("*.bmp")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& info : found) {
        if (info.fileName() != keep && info.lastModified().secsTo(now) > kKeepRenderingsSeconds) {
            QFile::remove(info.filePath());
        }
    }
}

QDateTime earlier(const QDateTime& a, const QDateTime& b) {
    if (!a.isValid()) {
        return b;
    }
    return b.isValid() && b < a ? b : a;
}

// When the fields of page may next show other values, after now.
QDateTime nextFieldChange(const LivePage& page, const QDateTime& now) {
    QDateTime next;
    const QDateTime local = now.toLocalTime();
    if (page.text.contains(QLatin1String("{time}"))) {
        const bool seconds = page.timeFormat.contains(QLatin1Char('s'));
        const qint64 step = seconds ? 1 : 60;
        const qint64 at = (now.toSecsSinceEpoch() / step + 1) * step;
        next = QDateTime::fromSecsSinceEpoch(at).toLocalTime();
    }
    if (page.text.contains(QLatin1String("{date}")) ||
        page.text.contains(QLatin1String("{weekday}"))) {
        next = earlier(next, QDateTime(local.date().addDays(1), QTime(0, 0)));
    }
    if (page.refresh > 0) {
        next = earlier(next, local.addSecs(page.refresh));
    }
    return next;
}

// One set of renderings per live file and screen size.
QString renderingPrefix(const QString& livePath, QSize screen) {
    const QString key = QStringLiteral("%1|%2x%3")
                            .arg(QFileInfo(livePath).absoluteFilePath())
                            .arg(screen.width())
                            .arg(screen.height());
    return QStringLiteral("%1-%2-").arg(QFileInfo(livePath).completeBaseName(),
                                        shortHash(key.toUtf8(), 10));
}

}  // namespace

QString lastLiveRendering(const QString& folder, const QString& fileName, QSize screen) {
    const QDir renderings(QDir(folder).filePath(QString::fromLatin1(kLiveFolder)));
    const QFileInfo last =
        newestRendering(renderings, renderingPrefix(resolveInFolder(folder, fileName), screen));
    return last.exists() ? last.filePath() : QString();
}

bool isLivePage(const QString& fileName) {
    return fileName.endsWith(QLatin1String(kLiveSuffix), Qt::CaseInsensitive);
}

QString parseLivePage(const QByteArray& data, LivePage* page) {
    QJsonDocument document;
    const QString problem = parseJsonText(data, &document);
    if (!problem.isEmpty()) {
        return problem;
    }
    if (!document.isObject()) {
        return QStringLiteral("not a JSON object");
    }
    const QJsonObject object = document.object();
    static const QStringList known = {
        QStringLiteral("text"),       QStringLiteral("font"),       QStringLiteral("size"),
        QStringLiteral("colour"),     QStringLiteral("shadow"),     QStringLiteral("background"),
        QStringLiteral("layout"),     QStringLiteral("continuous"), QStringLiteral("lines"),
        QStringLiteral("center"),     QStringLiteral("wordWrap"),   QStringLiteral("refresh"),
        QStringLiteral("dateFormat"), QStringLiteral("timeFormat"), QStringLiteral("locale")};
    for (auto key = object.begin(); key != object.end(); ++key) {
        if (!known.contains(key.key())) {
            return QStringLiteral("unknown key \"%1\" (%2)")
                .arg(key.key(), known.join(QStringLiteral(", ")));
        }
    }
    LivePage read;
    if (!object.value(QStringLiteral("text")).isString()) {
        return QStringLiteral("no \"text\" in it");
    }
    read.text = normalizeLineBreaks(object.value(QStringLiteral("text")).toString());
    QString face = defaultTextFace();
    int size = kDefaultTextPixelSize;
    QString layout;
    QString locale;
    int lines = 0;
    TextStyle& style = read.options.style;
    for (const QString& error :
         {readText(object, "font", &face), readWhole(object, "size", 4, 512, &size),
          readColour(object, "colour", &style.text), readColour(object, "shadow", &style.shadow),
          readColour(object, "background", &style.background), readText(object, "layout", &layout),
          readBool(object, "continuous", &read.options.continuous),
          readWhole(object, "lines", kMinLinesPerPage, kMaxLinesPerPage, &lines),
          readBool(object, "center", &read.options.center),
          readBool(object, "wordWrap", &read.options.wordWrap),
          readWhole(object, "refresh", 0, 24 * 3600, &read.refresh),
          readText(object, "dateFormat", &read.dateFormat),
          readText(object, "timeFormat", &read.timeFormat), readText(object, "locale", &locale)}) {
        if (!error.isEmpty()) {
            return error;
        }
    }
    if (layout.isEmpty() || layout == QLatin1String("one line")) {
        read.options.layout = TextLayout::OneLine;
    } else if (layout == QLatin1String("many lines")) {
        read.options.layout = TextLayout::ManyLine;
    } else {
        return QStringLiteral("layout \"%1\" is neither \"one line\" nor \"many lines\"")
            .arg(layout);
    }
    read.options.linesPerPage = lines;  // 0: as many as the screen takes
    if (!locale.isEmpty()) {
        read.locale = QLocale(locale);
    }
    QFont font(face);
    font.setPixelSize(size);
    style.font = composerFont(font);
    *page = read;
    return {};
}

bool LiveWatch::filesChanged() const {
    return std::any_of(files.begin(), files.end(), [](const WatchedFile& file) {
        return modifiedAt(file.path) != file.modified;
    });
}

QString expandLiveText(const LivePage& page, const QString& folder, const QDateTime& now,
                       QList<WatchedFile>* files, QString* error) {
    const QDateTime local = now.toLocalTime();
    QString out;
    const QString& text = page.text;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype close = text.indexOf(QLatin1Char('}'), i + 1);
        if (text[i] != QLatin1Char('{') || close < 0) {
            out += text[i++];
            continue;
        }
        const QString field = text.mid(i + 1, close - i - 1);
        if (field == QLatin1String("date")) {
            out += page.locale.toString(local.date(), page.dateFormat);
        } else if (field == QLatin1String("time")) {
            out += page.locale.toString(local.time(), page.timeFormat);
        } else if (field == QLatin1String("weekday")) {
            out += page.locale.dayName(local.date().dayOfWeek(), QLocale::LongFormat);
        } else if (field.startsWith(QLatin1String("file:"))) {
            const QString name = field.mid(5).trimmed();
            if (!insideFolder(name)) {
                *error =
                    QStringLiteral("{%1}: only files inside the sign folder are read").arg(field);
                return {};
            }
            const QString path = QDir(folder).filePath(name);
            files->append({path, modifiedAt(path)});
            QString why;
            const QString line = firstLine(path, &why);
            if (!why.isEmpty()) {
                *error = QStringLiteral("{%1}: %2").arg(field, why);
                return {};
            }
            out += line;
        } else {
            out += text.mid(i, close - i + 1);  // not a field: kept as written
        }
        i = close + 1;
    }
    return out;
}

LiveRendering renderLivePages(const Settings& settings, const PageList& pages,
                              const QString& folder, const QDateTime& now) {
    LiveRendering result;
    const QSize screen(settings.WIDTH, settings.HEIGHT);
    const QDir renderings(QDir(folder).filePath(QString::fromLatin1(kLiveFolder)));
    std::vector<PlayItem> items;
    for (int page = 1; page <= pages.PageCount(); ++page) {
        PlayItem item = pages.item(page);
        items.push_back(item);
        if (!isLivePage(item.FileName)) {
            continue;
        }
        const QString livePath = resolveInFolder(folder, item.FileName);
        result.watch.files.append({livePath, modifiedAt(livePath)});
        const QString prefix = renderingPrefix(livePath, screen);
        QString error;
        LivePage live;
        QByteArray data;
        QString text;
        if (!readWholeFile(livePath, kMaxLiveFileBytes, &data, &error)) {
            error = QStringLiteral("cannot read it: %1").arg(error);
        } else if (!(error = parseLivePage(data, &live)).isEmpty()) {
            error = QStringLiteral("not a live page: %1").arg(error);
        } else {
            result.watch.next = earlier(result.watch.next, nextFieldChange(live, now));
            text = expandLiveText(live, folder, now, &result.watch.files, &error);
        }
        QString picture;
        if (error.isEmpty()) {
            ComposeOptions options = live.options;
            if (options.linesPerPage == 0) {
                options.linesPerPage = defaultLinesPerPage(screen.height(), options.style.font);
            }
            const TextComposition composition(text, screen, options);
            QImage image;
            if (composition.error().isEmpty() && composition.pageCount() > 0) {
                image = composition.page(1);
            } else {
                clearPage(image, screen, options.style.background);
            }
            const QByteArray bytes = bmpBytes(image);
            picture = prefix + shortHash(bytes, 12) + QStringLiteral(".bmp");
            const QString path = renderings.filePath(picture);
            QFile existing(path);
            if (!QDir().mkpath(renderings.path())) {
                error = QStringLiteral("cannot make the folder %1").arg(renderings.path());
            } else if (existing.open(QIODevice::ReadOnly)) {
                // The same picture again: it becomes the newest rendering.
                existing.setFileTime(QDateTime::currentDateTime(),
                                     QFileDevice::FileModificationTime);
            } else if (!writeFileAtomically(path, bytes, &error)) {
                error = QStringLiteral("cannot write %1: %2").arg(path, error);
            }
            if (error.isEmpty()) {
                removeOldRenderings(renderings, prefix, picture, QDateTime::currentDateTime());
            }
        }
        if (!error.isEmpty()) {
            result.messages << QStringLiteral("%1: %2").arg(item.FileName, error);
            const QFileInfo last = newestRendering(renderings, prefix);
            picture = last.exists() ? last.fileName() : QString();
        }
        if (picture.isEmpty()) {
            result.unusable << page;
        } else {
            items.back().FileName =
                QStringLiteral("%1/%2").arg(QString::fromLatin1(kLiveFolder), picture);
        }
    }
    result.pages = pages;
    if (!items.empty()) {
        result.pages.loadPages(items);
        result.pages.selectTab(std::clamp(pages.currentTab(), 0, pages.PageCount() - 1));
    }
    return result;
}
