#include "platform/MultipartForm.h"

namespace {

// The value of key="..." (or key=token) in a header's parameters.
QByteArray parameter(const QByteArray& header, const QByteArray& key) {
    for (QByteArray piece : header.split(';')) {
        piece = piece.trimmed();
        if (!piece.toLower().startsWith(key + '=')) {
            continue;
        }
        QByteArray value = piece.mid(key.size() + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
            value = value.mid(1, value.size() - 2);
        }
        return value;
    }
    return {};
}

}  // namespace

bool parseMultipartForm(const QByteArray& contentType, const QByteArray& body,
                        QList<FormPart>* parts, QString* error) {
    if (!contentType.trimmed().toLower().startsWith("multipart/form-data")) {
        *error = QStringLiteral("the body must be multipart/form-data");
        return false;
    }
    const QByteArray boundary = parameter(contentType, "boundary");
    if (boundary.isEmpty() || boundary.size() > 200) {
        *error = QStringLiteral("multipart/form-data without a boundary");
        return false;
    }
    const QByteArray delimiter = "--" + boundary;
    qsizetype at = body.startsWith(delimiter) ? 0 : body.indexOf("\r\n" + delimiter);
    if (at < 0) {
        *error = QStringLiteral("the form holds no part");
        return false;
    }
    at = body.startsWith(delimiter) ? delimiter.size() : at + 2 + delimiter.size();
    parts->clear();
    while (true) {
        if (body.mid(at, 2) == "--") {
            return true;  // the closing delimiter
        }
        if (body.mid(at, 2) != "\r\n") {
            break;
        }
        at += 2;
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", at);
        const qsizetype next = body.indexOf("\r\n" + delimiter, at);
        // The blank line that ends the headers comes before the next
        // delimiter's own line break.
        if (headersEnd < 0 || next < 0 || headersEnd + 4 > next) {
            break;
        }
        FormPart part;
        for (const QByteArray& line : body.mid(at, headersEnd - at).split('\n')) {
            const QByteArray header = line.trimmed();
            if (header.toLower().startsWith("content-disposition:")) {
                part.name = QString::fromUtf8(parameter(header, "name"));
                part.fileName = QString::fromUtf8(parameter(header, "filename"));
            }
        }
        part.data = body.mid(headersEnd + 4, next - headersEnd - 4);
        parts->append(part);
        at = next + 2 + delimiter.size();
    }
    *error = QStringLiteral("the form is cut short or malformed");
    return false;
}
