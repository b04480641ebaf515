#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

// Reads a JSON text. Empty when data is one, else what is wrong with it
// ("not JSON at byte 12: unterminated object").
QString parseJsonText(const QByteArray& data, QJsonDocument* document);
