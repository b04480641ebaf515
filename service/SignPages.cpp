#include "service/SignPages.h"

#include "core/JsonText.h"
#include "core/ProgramFolder.h"
#include "import/TextComposer.h"
#include "pages/PlayListFile.h"
#include "transfer/ModuleType.h"
#include "transfer/PageCheck.h"
#include "transfer/SendCheck.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The checks SEND or MODE makes before the port opens; empty when they pass.
QString reviewProblem(SignCommand command, const Settings& settings, const PageList& pages,
                      const QString& folder) {
    if (command == SignCommand::Send && typeFamily(settings.TYPE).depth == Depth::NotSent) {
        return QStringLiteral("module type %1 cannot be sent")
            .arg(typeTexts().value(settings.TYPE));
    }
    const SendReview review = command == SignCommand::Send
                                  ? reviewSend(settings, pages, checkPages(settings, pages, folder))
                                  : reviewMode(settings, pages);
    for (const SendFinding& finding : review.findings) {
        if (finding.blocking) {
            return finding.text.section(QLatin1Char('\n'), 0, 0);
        }
    }
    return {};
}

// A sign's name as part of a file name: letters and digits, the rest '-'.
QString fileSafe(const QString& name) {
    QString safe;
    for (const QChar c : name) {
        safe += c.isLetterOrNumber() && c.unicode() < 128 ? c : QLatin1Char('-');
    }
    return safe.left(40);
}

}  // namespace

SignPages prepareSignPages(SignCommand command, const Sign& sign, const QString& list,
                           const QString& folder, const QDateTime& now) {
    SignPages out;
    const QString path = list.isEmpty() ? sign.list : list;
    if (path.isEmpty()) {
        out.problem =
            QStringLiteral("no play list: give LIST.lis, or one for the sign in the sign book");
        return out;
    }
    const LoadListOutcome outcome = loadPlayList(resolveInFolder(folder, path), &out.pages);
    if (!outcome.loaded) {
        out.problem = outcome.messages.join(QLatin1Char(' '));
        return out;
    }
    if (command == SignCommand::Send) {
        LiveRendering rendering = renderLivePages(sign.settings, out.pages, folder, now);
        out.pages = rendering.pages;
        out.messages = rendering.messages;
        out.watch = rendering.watch;
    }
    out.problem = reviewProblem(command, sign.settings, out.pages, folder);
    return out;
}

SignPages composeMessage(const Sign& sign, const QByteArray& json, const QString& folder) {
    SignPages out;
    // The layout's other spelling, then the composer's options as a live page has them.
    QJsonDocument document;
    out.problem = parseJsonText(json, &document);
    if (!out.problem.isEmpty()) {
        return out;
    }
    QJsonObject object = document.object();
    object.remove(QStringLiteral("for"));  // how long it shows is the command's business
    const QString layout = object.value(QStringLiteral("layout")).toString();
    if (layout == QLatin1String("one-line")) {
        object.insert(QStringLiteral("layout"), QStringLiteral("one line"));
    } else if (layout == QLatin1String("many-line")) {
        object.insert(QStringLiteral("layout"), QStringLiteral("many lines"));
    }
    LivePage message;
    out.problem = parseLivePage(QJsonDocument(object).toJson(), &message);
    if (!out.problem.isEmpty()) {
        return out;
    }
    if (message.text.trimmed().isEmpty()) {
        out.problem = QStringLiteral("the text is empty");
        return out;
    }
    const QSize screen(sign.settings.WIDTH, sign.settings.HEIGHT);
    ComposeOptions options = message.options;
    if (options.linesPerPage == 0) {
        options.linesPerPage = defaultLinesPerPage(screen.height(), options.style.font);
    }
    if (!QDir(folder).mkpath(QLatin1String(kMessageFolder))) {
        out.problem =
            QStringLiteral("cannot make %1/%2").arg(folder, QLatin1String(kMessageFolder));
        return out;
    }
    options.base = QStringLiteral("%1/%2-").arg(QLatin1String(kMessageFolder), fileSafe(sign.name));
    const ComposeResult composed =
        composeTextPages(message.text, screen, options, folder, PageList::kMaxPages);
    if (!composed.error.isEmpty()) {
        out.problem = composed.error;
        return out;
    }
    const PlaceResult placed =
        out.pages.placeGeneratedPages(options.base, composed.pages, CaptionStyle::Number, 1);
    if (!placed.message.isEmpty()) {
        out.messages << placed.message;
    }
    out.problem = reviewProblem(SignCommand::Send, sign.settings, out.pages, folder);
    return out;
}

bool samePages(const PageList& a, const PageList& b) {
    return a.PageCount() == b.PageCount() && a.items() == b.items();
}
