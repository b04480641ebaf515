#include "app/TransferLogDock.h"

#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>

namespace {

constexpr int kLinesShown = 200;

}  // namespace

TransferLogDock::TransferLogDock(const QString& logPath, QWidget* parent)
    : QDockWidget(tr("Transfer log"), parent) {
    setObjectName(QStringLiteral("TransferLog"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    m_text = new QPlainTextEdit;
    m_text->setObjectName(QStringLiteral("TransferLogText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setMaximumBlockCount(kLinesShown);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setToolTip(logPath);
    const QFontMetrics metrics(m_text->font());
    m_text->setMinimumHeight(metrics.lineSpacing() * 4);
    setWidget(m_text);
    QFile file(logPath);
    if (file.open(QIODevice::ReadOnly)) {
        // The end of the file holds the lines shown; a long log is not read whole.
        const qint64 from = std::max<qint64>(0, file.size() - kLinesShown * 256);
        file.seek(from);
        const QList<QByteArray> lines = file.readAll().split('\n');
        // A line cut by the seek is left out.
        const qsizetype first = std::max<qsizetype>(from > 0 ? 1 : 0, lines.size() - kLinesShown);
        for (qsizetype i = first; i < lines.size(); ++i) {
            if (!lines[i].isEmpty()) {
                m_text->appendPlainText(QString::fromUtf8(lines[i]));
            }
        }
    }
}

void TransferLogDock::append(const QString& line) {
    m_text->appendPlainText(line);
}

QString TransferLogDock::text() const {
    return m_text->toPlainText();
}
