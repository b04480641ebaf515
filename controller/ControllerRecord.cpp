#include "controller/ControllerRecord.h"

#include "controller/SignRun.h"
#include "core/JsonText.h"
#include "platform/AtomicFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

// A record holds at most 255 page digests and a few fields.
constexpr qint64 kMaxRecordBytes = 64 * 1024;

QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex());
}

bool fromHex(const QJsonValue& value, QByteArray* bytes) {
    const QByteArray text = value.toString().toLatin1();
    *bytes = QByteArray::fromHex(text);
    return bytes->size() == 32 && bytes->toHex() == text;
}

}  // namespace

bool ControllerKey::operator==(const ControllerKey& other) const {
    return port == other.port && NUM == other.NUM && TYPE == other.TYPE && WIDTH == other.WIDTH &&
           HEIGHT == other.HEIGHT && SCAN == other.SCAN && RG_SWAP == other.RG_SWAP &&
           COLOR_SWAP == other.COLOR_SWAP && ADJUST == other.ADJUST;
}

ControllerKey controllerKey(const Settings& settings, const QString& folder) {
    ControllerKey key;
    key.port = portKey(settings, folder);
    key.NUM = settings.NUM;
    key.TYPE = settings.TYPE;
    key.WIDTH = settings.WIDTH;
    key.HEIGHT = settings.HEIGHT;
    key.SCAN = settings.SCAN;
    key.RG_SWAP = settings.RG_SWAP;
    key.COLOR_SWAP = settings.COLOR_SWAP;
    key.ADJUST = settings.ADJUST;
    return key;
}

QString ControllerRecords::folderFor(const QString& dataFolder) {
    if (!dataFolder.isEmpty()) {
        return QDir(dataFolder).filePath(QStringLiteral("controllers"));
    }
    // The same folder for the window and the command line, whatever their
    // program names.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("marquee/controllers"));
}

QString ControllerRecords::pathFor(const QString& port, int num) const {
    // A readable name ("ttyUSB0-1-…", "pts-3-1-…"), made unique by a digest of the whole
    // port name: two ports never share a file.
    QString base = port.startsWith(QLatin1String("/dev/")) ? port.mid(5) : port;
    for (QChar& c : base) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('_')) {
            c = QLatin1Char('-');
        }
    }
    const QByteArray digest =
        QCryptographicHash::hash(port.toUtf8(), QCryptographicHash::Sha256).toHex().left(10);
    return QDir(m_folder).filePath(QStringLiteral("%1-%2-%3.json")
                                       .arg(base.right(40))
                                       .arg(num)
                                       .arg(QString::fromLatin1(digest)));
}

std::optional<ControllerRecord> ControllerRecords::find(const ControllerKey& key) const {
    QByteArray data;
    QString error;
    ControllerRecord record;
    if (!readWholeFile(pathFor(key.port, key.NUM), kMaxRecordBytes, &data, &error) ||
        !parseControllerRecord(data, &record) || record.key != key) {
        return std::nullopt;
    }
    return record;
}

bool ControllerRecords::store(const ControllerRecord& record, QString* reason) const {
    if (!QDir().mkpath(m_folder)) {
        *reason = QStringLiteral("cannot make the folder %1").arg(m_folder);
        return false;
    }
    const QString path = pathFor(record.key.port, record.key.NUM);
    QString error;
    if (!writeFileAtomically(path, formatControllerRecord(record), &error)) {
        *reason = QStringLiteral("cannot write %1: %2").arg(path, error);
        return false;
    }
    return true;
}

void ControllerRecords::drop(const QString& port, int num) const {
    QFile::remove(pathFor(port, num));
}

QByteArray formatControllerRecord(const ControllerRecord& record) {
    const ControllerKey& key = record.key;
    QJsonArray pages;
    for (const QByteArray& digest : record.content.pages) {
        pages.append(hex(digest));
    }
    const QJsonObject object{
        {QStringLiteral("port"), key.port},
        {QStringLiteral("num"), key.NUM},
        {QStringLiteral("type"), key.TYPE},
        {QStringLiteral("width"), key.WIDTH},
        {QStringLiteral("height"), key.HEIGHT},
        {QStringLiteral("scan"), key.SCAN},
        {QStringLiteral("rgSwap"), key.RG_SWAP},
        {QStringLiteral("colorSwap"), key.COLOR_SWAP},
        {QStringLiteral("adjust"), key.ADJUST},
        {QStringLiteral("time"), record.time.toString(Qt::ISODate)},
        {QStringLiteral("glyphs"), hex(record.content.glyphs)},
        {QStringLiteral("playTable"), hex(record.content.playTable)},
        {QStringLiteral("pages"), pages},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

bool parseControllerRecord(const QByteArray& data, ControllerRecord* record) {
    QJsonDocument document;
    if (!parseJsonText(data, &document).isEmpty() || !document.isObject()) {
        return false;
    }
    const QJsonObject o = document.object();
    ControllerRecord read;
    ControllerKey& key = read.key;
    key.port = o.value(QStringLiteral("port")).toString();
    key.NUM = o.value(QStringLiteral("num")).toInt(-1);
    key.TYPE = o.value(QStringLiteral("type")).toInt(-1);
    key.WIDTH = o.value(QStringLiteral("width")).toInt(-1);
    key.HEIGHT = o.value(QStringLiteral("height")).toInt(-1);
    key.SCAN = o.value(QStringLiteral("scan")).toInt(-1);
    key.RG_SWAP = o.value(QStringLiteral("rgSwap")).toBool();
    key.COLOR_SWAP = o.value(QStringLiteral("colorSwap")).toBool();
    key.ADJUST = o.value(QStringLiteral("adjust")).toBool();
    read.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODate);
    const QJsonArray pages = o.value(QStringLiteral("pages")).toArray();
    if (key.port.isEmpty() || key.NUM < 0 || pages.size() > 255 ||
        !fromHex(o.value(QStringLiteral("glyphs")), &read.content.glyphs) ||
        !fromHex(o.value(QStringLiteral("playTable")), &read.content.playTable)) {
        return false;
    }
    for (const QJsonValue& value : pages) {
        QByteArray digest;
        if (!fromHex(value, &digest)) {
            return false;
        }
        read.content.pages << digest;
    }
    *record = read;
    return true;
}
