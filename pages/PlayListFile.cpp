#include "pages/PlayListFile.h"

#include "core/TextReader.h"
#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

// 255 pages of six short lines; a file far beyond that is not a play list,
// but a long path name on a line is fine.
constexpr qint64 kMaxListFileBytes = 64LL << 20;
constexpr int kFieldsPerPage = 5;

QString decodeName(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = utf8.decode(bytes);
    if (utf8.hasError()) {
        return QString::fromLatin1(bytes);
    }
    return name;
}

}  // namespace

QString withListExtension(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString folder = path.left(path.size() - name.size());
    return folder + stem + QStringLiteral(".lis");
}

QByteArray formatPlayList(const PlayList& list, int pageCount) {
    QByteArray bytes;
    for (int k = 1; k <= pageCount && k < static_cast<int>(list.size()); ++k) {
        const PlayItem& item = list[static_cast<size_t>(k)];
        for (const QByteArray& line :
             {item.FileName.toUtf8(), QByteArray::number(item.InMode),
              QByteArray::number(item.OutMode), QByteArray::number(item.AddMode),
              QByteArray::number(item.DispTime), QByteArray::number(item.DispSpeed)}) {
            bytes += line;
            bytes += "\r\n";
        }
    }
    return bytes;
}

PlayListParse parsePlayList(const QByteArray& data) {
    PlayListParse result;
    TextReader reader(data);
    while (!reader.atEnd()) {
        if (static_cast<int>(result.pages.size()) == PageList::kMaxPages) {
            result.notes << QStringLiteral(
                                "The list holds at most %1 pages: the pages after "
                                "page %1 (from line %2 on) were left out.")
                                .arg(PageList::kMaxPages)
                                .arg(reader.lineNumber());
            break;
        }
        const int page = static_cast<int>(result.pages.size()) + 1;
        PlayItem item;
        item.FileName = decodeName(reader.readLine());
        uint8_t* fields[kFieldsPerPage] = {&item.InMode, &item.OutMode, &item.AddMode,
                                           &item.DispTime, &item.DispSpeed};
        bool whole = true;
        for (uint8_t* field : fields) {
            const TextReader::Number number = reader.readNumber();
            if (number.status == TextReader::NumberStatus::EndOfFile) {
                result.notes << QStringLiteral(
                                    "Page %1 is cut short: the file ends at line %2; "
                                    "the page was not loaded.")
                                    .arg(page)
                                    .arg(number.line);
                whole = false;
                break;
            }
            if (number.status == TextReader::NumberStatus::NotANumber) {
                result.error = QStringLiteral("Invalid numeric input");
                result.notes << QStringLiteral(
                                    "Line %1 (page %2) is not a number; the pages "
                                    "before it were loaded.")
                                    .arg(number.line)
                                    .arg(page);
                whole = false;
                break;
            }
            *field = static_cast<uint8_t>(number.value & 0xFF);
        }
        if (!whole) {
            break;
        }
        result.pages.push_back(item);
    }
    return result;
}

QString savePlayList(const QString& path, const PageList& pages) {
    QString error;
    if (!writeFileAtomically(withListExtension(path),
                             formatPlayList(pages.items(), pages.PageCount()), &error)) {
        return QCoreApplication::translate("PageList", "Cannot save %1: %2")
            .arg(withListExtension(path), error);
    }
    return {};
}

LoadListOutcome loadPlayList(const QString& path, PageList* pages) {
    LoadListOutcome outcome;
    QByteArray data;
    QString error;
    if (!readWholeFile(path, kMaxListFileBytes, &data, &error)) {
        outcome.messages
            << QCoreApplication::translate("PageList", "Cannot read %1: %2").arg(path, error);
        return outcome;
    }
    const PlayListParse parse = parsePlayList(data);
    if (!parse.error.isEmpty()) {
        outcome.messages << parse.error;
    }
    outcome.messages << parse.notes;
    if (parse.pages.empty()) {
        outcome.messages
            << QStringLiteral("%1 holds no whole page; the list was not changed.").arg(path);
        return outcome;
    }
    pages->loadPages(parse.pages);
    outcome.loaded = true;
    return outcome;
}
