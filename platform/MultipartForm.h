#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The parts of a multipart/form-data body, as a browser's form or
// curl -F sends them.
struct FormPart {
    QString name;      // the form field
    QString fileName;  // as the client named the file; empty for a plain field
    QByteArray data;
};

// Splits body by the boundary that contentType names; false with what is
// wrong (no boundary, a part without its headers, no closing boundary).
bool parseMultipartForm(const QByteArray& contentType, const QByteArray& body,
                        QList<FormPart>* parts, QString* error);
