#include "controller/Replies.h"

const ReplyRule& replyRule(ControllerCommand command) {
    static const ReplyRule specs[] = {
        {Command::EndOfData, ReplyForm::StatusByte, 1, 2000, "rec success!",
         "error rec or can not sendback!", "error rec or can not sendback!"},
        {Command::EndOfData, ReplyForm::StatusByte, 1, 2000, "mode success!",
         "error mode or can not sendback!", "error mode or can not sendback!"},
        {Command::SetClock, ReplyForm::StatusByte, 1, 2000, "time success!",
         "set time error or can not sendback!", "set time error or can not sendback!"},
        {Command::ReadParameters, ReplyForm::Framed, 36, 5000, "read para success!",
         "error para or can not sendback!", nullptr},
        {Command::SaveParameters, ReplyForm::Framed, 4, 5000, "save para success!",
         "error save para or can not sendback!", nullptr},
        {Command::SetupDownload, ReplyForm::Framed, 4, 10000, "download success!",
         "download error or can not sendback!", nullptr},
    };
    return specs[static_cast<int>(command)];
}

ReplyOutcome checkReply(Link& link, const ReplyRule& rule) {
    if (!link.WaitReply(rule.timeoutMs, rule.count)) {
        return ReplyOutcome::NoReply;
    }
    const QByteArray& rx = link.RxBuffer;
    const auto code = static_cast<char>(rule.code);
    if (rule.form == ReplyForm::StatusByte) {
        return rx.size() >= 1 && rx[0] == code ? ReplyOutcome::Matches : ReplyOutcome::Differs;
    }
    const bool matches = rx.size() >= 4 && rx[0] == '\xAA' && rx[1] == '\x55' && rx[3] == code;
    return matches ? ReplyOutcome::Matches : ReplyOutcome::Differs;
}

namespace {

// "AA 55 00 07", the first 16 bytes at most.
QString hexBytes(const QByteArray& bytes) {
    QString text = QString::fromLatin1(bytes.left(16).toHex(' ').toUpper());
    if (bytes.size() > 16) {
        text += QStringLiteral(" ...");
    }
    return text;
}

QString expectedBytes(const ReplyRule& rule) {
    const QString code = hexBytes(QByteArray(1, static_cast<char>(rule.code)));
    return rule.form == ReplyForm::StatusByte ? code
                                              : QStringLiteral("AA 55, any byte, %1").arg(code);
}

}  // namespace

QString replyFailureDetail(const ReplyRule& rule, ReplyOutcome outcome, const Link& link) {
    const QByteArray& got = link.received();
    switch (outcome) {
        case ReplyOutcome::Matches:
            return {};
        case ReplyOutcome::Differs:
            return QStringLiteral("The controller answered %1 where %2 was expected.")
                .arg(hexBytes(got), expectedBytes(rule));
        case ReplyOutcome::NoReply:
            break;
    }
    QString text = link.hungUp()
                       ? QStringLiteral("The other end of %1 hung up before the reply came")
                             .arg(link.portPath())
                       : QStringLiteral("No reply came within %1 ms").arg(rule.timeoutMs);
    if (got.isEmpty()) {
        return text + QStringLiteral(" (%1 %2 expected: %3).")
                          .arg(rule.count)
                          .arg(rule.count == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"))
                          .arg(expectedBytes(rule));
    }
    return text + QStringLiteral(": %1 of the %2 bytes came (%3).")
                      .arg(got.size())
                      .arg(rule.count)
                      .arg(hexBytes(got));
}

QString replyMessage(const ReplyRule& rule, ReplyOutcome outcome) {
    switch (outcome) {
        case ReplyOutcome::Matches:
            return QString::fromLatin1(rule.success);
        case ReplyOutcome::NoReply:
            return QString::fromLatin1(rule.noReply);
        case ReplyOutcome::Differs:
            return rule.differs ? QString::fromLatin1(rule.differs) : QString();
    }
    return {};
}
