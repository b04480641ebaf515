#include "core/SignBook.h"

#include "core/JsonText.h"
#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

constexpr qint64 kMaxBookBytes = 4 * 1024 * 1024;

// The keys of the ten settings in the file, in ck.ini's order.
const char* const kKeys[kSettingCount] = {"num",    "width",     "height", "comm", "scan",
                                          "rgSwap", "colorSwap", "adjust", "type", "bps"};

}  // namespace

QJsonObject signObject(const Sign& sign) {
    QJsonObject object;
    object.insert(QStringLiteral("name"), sign.name);
    object.insert(QStringLiteral("port"), sign.settings.PORT);
    const auto values = settingValues(sign.settings);
    for (int i = 0; i < kSettingCount; ++i) {
        const QString key = QString::fromLatin1(kKeys[i]);
        if (i == kBPS) {
            object.insert(key, sign.settings.baudRate());  // the rate, not its position
        } else if (settingDefs()[static_cast<size_t>(i)].isFlag) {
            object.insert(key, values[static_cast<size_t>(i)] == 1);
        } else {
            object.insert(key, values[static_cast<size_t>(i)]);
        }
    }
    object.insert(QStringLiteral("list"), sign.list);
    if (sign.sendChangesOnly) {
        object.insert(QStringLiteral("sendChangesOnly"), true);
    }
    // Written only when set, so books without them read and write as before.
    if (!sign.schedule.isEmpty()) {
        object.insert(QStringLiteral("schedule"), formatSchedule(sign.schedule));
    }
    if (sign.setClock != kDefaultClockMinute) {
        object.insert(QStringLiteral("setClock"), formatClockMinute(sign.setClock));
    }
    return object;
}

namespace {

QString readSign(const QJsonObject& object, int position, Sign* sign) {
    sign->name = object.value(QStringLiteral("name")).toString().trimmed();
    const QString which = sign->name.isEmpty() ? QStringLiteral("sign %1").arg(position)
                                               : QStringLiteral("sign \"%1\"").arg(sign->name);
    sign->settings.PORT = object.value(QStringLiteral("port")).toString().trimmed();
    sign->list = object.value(QStringLiteral("list")).toString();
    const QJsonValue changesOnly = object.value(QStringLiteral("sendChangesOnly"));
    if (!changesOnly.isUndefined() && !changesOnly.isBool()) {
        return QStringLiteral("%1: sendChangesOnly must be true or false").arg(which);
    }
    sign->sendChangesOnly = changesOnly.toBool(false);
    const QJsonValue schedule = object.value(QStringLiteral("schedule"));
    QString error = schedule.isUndefined() ? QString() : parseSchedule(schedule, &sign->schedule);
    const QJsonValue setClock = object.value(QStringLiteral("setClock"));
    if (error.isEmpty() && !setClock.isUndefined()) {
        error = parseClockMinute(setClock, &sign->setClock);
    }
    if (!error.isEmpty()) {
        return QStringLiteral("%1: %2").arg(which, error);
    }
    for (int i = 0; i < kSettingCount; ++i) {
        const QString key = QString::fromLatin1(kKeys[i]);
        const QJsonValue value = object.value(key);
        if (value.isUndefined()) {
            continue;  // the default stands
        }
        if (i == kBPS) {
            const int index = bpsTexts().indexOf(QString::number(value.toInt()));
            if (index < 0) {
                return QStringLiteral("%1: bps must be one of %2")
                    .arg(which, bpsTexts().join(QStringLiteral(", ")));
            }
            sign->settings.BPS = index;
        } else if (value.isBool()) {
            applySettingValue(sign->settings, i, value.toBool() ? 1 : 0);
        } else if (value.isDouble()) {
            applySettingValue(sign->settings, i, static_cast<long long>(value.toDouble()));
        } else {
            return QStringLiteral("%1: %2 must be a number").arg(which, key);
        }
    }
    return {};
}

}  // namespace

int SignBook::indexOf(const QString& name) const {
    for (int i = 0; i < signs.size(); ++i) {
        if (signs[i].name == name) {
            return i;
        }
    }
    return -1;
}

int SignBook::selectedIndex() const {
    return std::max(0, indexOf(selected));
}

QByteArray formatSignBook(const SignBook& book) {
    QJsonArray signs;
    for (const Sign& sign : book.signs) {
        signs.append(signObject(sign));
    }
    QJsonObject root;
    root.insert(QStringLiteral("selected"), book.selected);
    root.insert(QStringLiteral("signs"), signs);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString parseSignBook(const QByteArray& data, SignBook* book) {
    QJsonDocument document;
    const QString problem = parseJsonText(data, &document);
    if (!problem.isEmpty()) {
        return problem;
    }
    const QJsonValue signs = document.object().value(QStringLiteral("signs"));
    if (!document.isObject() || !signs.isArray()) {
        return QStringLiteral("no list \"signs\" in it");
    }
    SignBook read;
    read.selected = document.object().value(QStringLiteral("selected")).toString();
    for (const QJsonValue& value : signs.toArray()) {
        Sign sign;
        if (!value.isObject()) {
            return QStringLiteral("sign %1 is not an object").arg(read.signs.size() + 1);
        }
        const QString error = readSign(value.toObject(), read.signs.size() + 1, &sign);
        if (!error.isEmpty()) {
            return error;
        }
        read.signs << sign;
    }
    const QString error = checkSignBook(read);
    if (!error.isEmpty()) {
        return error;
    }
    *book = read;
    return {};
}

QString checkSignBook(const SignBook& book) {
    if (book.signs.isEmpty()) {
        return QStringLiteral("it holds no sign");
    }
    QSet<QString> names;
    for (const Sign& sign : book.signs) {
        if (sign.name.isEmpty()) {
            return QStringLiteral("a sign has no name");
        }
        if (names.contains(sign.name)) {
            return QStringLiteral("two signs are called \"%1\"").arg(sign.name);
        }
        names.insert(sign.name);
    }
    return {};
}

SignBookReadResult readSignBook(const QString& folder, const Settings& settings, SignBook* book) {
    SignBookReadResult result;
    Sign first;
    first.name = QCoreApplication::translate("SignBook", "Sign %1").arg(1);
    first.settings = settings;
    book->signs = {first};
    book->selected = book->signs.first().name;
    const QString path = QDir(folder).filePath(QString::fromLatin1(kSignBookFileName));
    if (!QFileInfo::exists(path)) {
        return result;
    }
    result.found = true;
    QByteArray data;
    QString error;
    if (!readWholeFile(path, kMaxBookBytes, &data, &error)) {
        result.error = QStringLiteral("Cannot read %1: %2").arg(path, error);
    } else if (!(error = parseSignBook(data, book)).isEmpty()) {
        result.error = QStringLiteral("%1 is not a sign book: %2").arg(path, error);
    }
    return result;
}

bool writeSignBook(const QString& folder, const SignBook& book, QString* reason) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(kSignBookFileName));
    QString error;
    if (!writeFileAtomically(path, formatSignBook(book), &error)) {
        if (reason) {
            *reason = QStringLiteral("Cannot write %1: %2").arg(path, error);
        }
        return false;
    }
    return true;
}
