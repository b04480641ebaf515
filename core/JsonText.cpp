#include "core/JsonText.h"

QString parseJsonText(const QByteArray& data, QJsonDocument* document) {
    QJsonParseError problem{};
    *document = QJsonDocument::fromJson(data, &problem);
    if (problem.error != QJsonParseError::NoError) {
        return QStringLiteral("not JSON at byte %1: %2")
            .arg(problem.offset)
            .arg(problem.errorString());
    }
    return {};
}
