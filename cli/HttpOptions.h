#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>

struct HttpFaceOptions {
    QHostAddress address;
    quint16 port = 0;
    QByteArray token;    // empty: no token asked (loopback only)
    qint64 maxBody = 0;  // 0: the server's default
};

// serve's HTTP options (--http ADDRESS:PORT --http-token-file FILE
// --http-max-body BYTES), from its "--name value" pairs. An address other
// machines reach needs a token file, made on first use. *wanted is false
// when --http is not given; empty when good, else what is wrong.
QString readHttpOptions(const QStringList& args, bool* wanted, HttpFaceOptions* options);
