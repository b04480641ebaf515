#pragma once

#include <QDateTime>
#include <QString>

// The transfer log: one line a controller command, kept in a text file in
// the user's data folder and shown in the window.
struct CommandRecord {
    QDateTime start;
    QString command;  // "SEND", "MODE", "TIME", "READ PARA", "save parameter", "Download"
    int controller = 0;
    QString port;
    qint64 bytes = 0;
    qint64 ms = 0;
    QString outcome;
};

// "2026-12-06 15:04:05  SEND  controller 1  /dev/ttyUSB0  20,480 bytes  21.3 s  rec success!"
QString transferLogLine(const CommandRecord& record);

// The log file: transfer-log.txt in folder, or in the user's data folder
// (~/.local/share/marquee, made when missing) when folder is empty. Both
// programs write the same file.
QString transferLogPath(const QString& folder = QString());

// Appends one line to the file at path. False with a reason when it cannot.
bool appendTransferLog(const QString& path, const QString& line, QString* error);

// "0:21", "12:05", "1:02:03": a time left, rounded up to whole seconds.
QString durationText(qint64 ms);
