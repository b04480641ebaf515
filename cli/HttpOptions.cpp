#include "cli/HttpOptions.h"

#include "platform/HttpServer.h"

QString readHttpOptions(const QStringList& args, bool* wanted, HttpFaceOptions* options) {
    QString address;
    QString tokenFile;
    QString maxBody;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        const QString& name = args[i];
        const QString& value = args[i + 1];
        if (name == QLatin1String("--http")) {
            address = value;
        } else if (name == QLatin1String("--http-token-file")) {
            tokenFile = value;
        } else if (name == QLatin1String("--http-max-body")) {
            maxBody = value;
        }
    }
    *wanted = !address.isEmpty();
    if (address.isEmpty()) {
        return tokenFile.isEmpty() && maxBody.isEmpty()
                   ? QString()
                   : QStringLiteral("--http-token-file and --http-max-body go with --http");
    }
    QString problem;
    if (!parseHttpAddress(address, &options->address, &options->port, &problem)) {
        return problem;
    }
    if (tokenFile.isEmpty() && !isLoopbackAddress(options->address)) {
        return QStringLiteral(
                   "%1 is reachable from other machines: give --http-token-file FILE "
                   "(a token is made there on first use)")
            .arg(options->address.toString());
    }
    if (!tokenFile.isEmpty() && !readOrMakeToken(tokenFile, &options->token, &problem)) {
        return problem;
    }
    if (!maxBody.isEmpty()) {
        bool ok = false;
        options->maxBody = maxBody.toLongLong(&ok);
        if (!ok || options->maxBody < 1024 || options->maxBody > 1024LL * 1024 * 1024) {
            return QStringLiteral("--http-max-body takes 1024 to 1073741824 bytes");
        }
    }
    return {};
}
