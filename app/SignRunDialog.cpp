#include "app/SignRunDialog.h"

#include "app/ServiceLink.h"
#include "import/LivePage.h"

#include "app/Controls.h"
#include "core/TransferLog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { kSign, kProgress, kOutcome, kBytes, kTime, kReason, kColumns };

}  // namespace

// One sign's reports, carried to its row on the window's thread.
class SignRunDialog::RowSurface : public OperatorSurface {
  public:
    RowSurface(SignRunDialog* dialog, int row, const std::atomic<bool>& stop)
        : m_dialog(dialog), m_row(row), m_stop(stop) {}

    void setStatus(int panel, const QString& text) override {
        if (panel == 1 || panel == 2) {
            show(kOutcome, text, -1);
        }
    }
    // The reason goes into the results; no message box for each sign.
    void message(const QString&, const QString&) override {}
    void lineProgress(qint64 sent, qint64 total, qint64 msLeft) override {
        show(kOutcome, SignRunDialog::tr("sending, %1 left").arg(durationText(msLeft)),
             total > 0 ? int(sent * 100 / total) : 0);
    }
    void awaitingReply(int) override {
        show(kOutcome, SignRunDialog::tr("waiting for the controller"), 100);
    }
    bool cancelRequested() const override { return m_stop; }
    void note(const QString& text) override { show(kOutcome, text, -1); }

  private:
    void show(int column, const QString& text, int percent) {
        QPointer<SignRunDialog> dialog(m_dialog);
        const int row = m_row;
        QMetaObject::invokeMethod(
            m_dialog,
            [dialog, row, column, text, percent] {
                if (!dialog) {
                    return;
                }
                if (!text.isEmpty()) {
                    dialog->m_table->item(row, column)->setText(text);
                }
                if (percent >= 0) {
                    static_cast<QProgressBar*>(dialog->m_table->cellWidget(row, kProgress))
                        ->setValue(percent);
                }
            },
            Qt::QueuedConnection);
    }

    SignRunDialog* m_dialog;
    int m_row;
    const std::atomic<bool>& m_stop;
};

SignRunDialog::SignRunDialog(const SignBook& book, const QString& folder, const PageList& pages,
                             const QString& logPath, QWidget* parent)
    : QDialog(parent), m_book(book), m_folder(folder), m_pages(pages), m_logPath(logPath) {
    setObjectName(QStringLiteral("SignRun"));
    setWindowTitle(tr("To several signs"));
    m_signs = new QListWidget;
    m_signs->setObjectName(QStringLiteral("Signs"));
    for (const Sign& sign : m_book.signs) {
        auto* item = new QListWidgetItem(sign.name, m_signs);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    m_signs->setMaximumWidth(220);
    m_table = new QTableWidget(0, kColumns);
    m_table->setObjectName(QStringLiteral("Results"));
    m_table->setHorizontalHeaderLabels(
        {tr("sign"), tr("progress"), tr("outcome"), tr("bytes"), tr("time"), tr("reason")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    const std::pair<const char*, SignCommand> commands[] = {
        {QT_TR_NOOP("&SEND"), SignCommand::Send},
        {QT_TR_NOOP("&MODE"), SignCommand::Mode},
        {QT_TR_NOOP("&TIME"), SignCommand::Time}};
    const char* names[] = {"SendSigns", "ModeSigns", "TimeSigns"};
    for (int i = 0; i < 3; ++i) {
        QPushButton* button = makeButton(names[i], tr(commands[i].first));
        connect(button, &QPushButton::clicked, this,
                [this, command = commands[i].second] { start(command); });
        buttons->addWidget(button);
        m_commands.push_back(button);
    }
    m_cancel = makeButton("CancelSigns", tr("&Cancel"));
    m_cancel->setEnabled(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_stop = true; });
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    QPushButton* close = makeButton("CloseSigns", tr("C&lose"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close);

    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(tr("Signs to serve:")));
    left->addWidget(m_signs);
    lists->addLayout(left);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(tr("Results:")));
    right->addWidget(m_table);
    lists->addLayout(right, 1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(lists, 1);
    column->addLayout(buttons);
    resize(1180, 420);
}

SignRunDialog::~SignRunDialog() {
    m_stop = true;
    if (m_worker) {
        m_worker->join();
    }
}

bool SignRunDialog::start(SignCommand command) {
    if (running()) {
        return false;
    }
    std::vector<SignJob> jobs;
    for (int i = 0; i < m_signs->count(); ++i) {
        if (m_signs->item(i)->checkState() == Qt::Checked) {
            const Sign& sign = m_book.signs[i];
            jobs.push_back({sign.name, sign.settings, m_pages, sign.sendChangesOnly});
            m_ports << portKey(sign.settings, m_folder);
        }
    }
    if (jobs.empty()) {
        m_ports.clear();
        return false;
    }
    m_stop = false;
    m_command = command;
    m_started = QDateTime::currentDateTime();
    m_table->setRowCount(0);
    m_surfaces.clear();
    m_table->setRowCount(int(jobs.size()));
    for (int row = 0; row < int(jobs.size()); ++row) {
        for (int c = 0; c < kColumns; ++c) {
            m_table->setItem(row, c, new QTableWidgetItem);
        }
        m_table->item(row, kSign)->setText(jobs[size_t(row)].name);
        auto* bar = new QProgressBar;
        bar->setRange(0, 100);
        bar->setValue(0);
        m_table->setCellWidget(row, kProgress, bar);
        m_surfaces.push_back(std::make_unique<RowSurface>(this, row, m_stop));
    }
    setRunning(true);
    QPointer<SignRunDialog> self(this);
    m_worker = std::make_unique<std::thread>([this, self, command, jobs]() mutable {
        // Live pages are rendered for each sign at its own size, now.
        const QDateTime now = QDateTime::currentDateTime();
        for (SignJob& job : jobs) {
            if (command == SignCommand::Send) {
                job.pages = renderLivePages(job.settings, job.pages, m_folder, now).pages;
            }
        }
        // Signs a running sign service serves: their ports are taken from it first.
        std::vector<std::unique_ptr<ServicePortHold>> holds;
        for (size_t j = 0; j < jobs.size() && !m_stop; ++j) {
            holds.push_back(std::make_unique<ServicePortHold>());
            holds.back()->take(m_settingsFolder, jobs[j].name, *m_surfaces[j], m_stop);
        }
        std::vector<SignResult> results = runOnSigns(
            command, jobs, m_folder,
            [this](int job) -> OperatorSurface& { return *m_surfaces[size_t(job)]; },
            QDateTime::currentDateTime(), m_records.folder().isEmpty() ? nullptr : &m_records);
        QMetaObject::invokeMethod(
            this,
            [self, results] {
                if (self) {
                    self->showResults(results);
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

void SignRunDialog::showResults(const std::vector<SignResult>& results) {
    m_worker->join();
    m_worker.reset();
    m_results = results;
    for (int row = 0; row < int(results.size()); ++row) {
        const SignResult& result = results[size_t(row)];
        QString reason = result.exchange.reason;
        if (reason.isEmpty() && result.exchange.stage == ExchangeResult::Stage::Refused) {
            reason = tr("its module type is not sent");
        }
        const QStringList texts = {
            result.name,
            QString(),
            result.outcome(),
            QString::number(result.exchange.bytes),
            QStringLiteral("%1 s").arg(result.exchange.ms / 1000.0, 0, 'f', 1),
            reason.simplified()};
        for (int c = 0; c < kColumns; ++c) {
            if (c != kProgress) {
                m_table->item(row, c)->setText(texts[c]);
            }
        }
        m_table->item(row, kReason)->setToolTip(reason);
        auto* bar = static_cast<QProgressBar*>(m_table->cellWidget(row, kProgress));
        bar->setValue(result.acknowledged() ? 100 : bar->value());
        m_table->item(row, kOutcome)
            ->setForeground(result.acknowledged() ? QColor(0, 120, 0) : QColor(180, 0, 0));
    }
    // The reason takes the rest of the width, wrapped.
    for (int c = 0; c < kReason; ++c) {
        m_table->resizeColumnToContents(c);
    }
    m_table->resizeRowsToContents();
    const char* names[] = {"SEND", "MODE", "TIME", "READ PARA"};
    for (const SignResult& result : results) {
        const QString line = transferLogLine({m_started, QString::fromLatin1(names[int(m_command)]),
                                              result.num, result.port, result.exchange.bytes,
                                              result.exchange.ms, result.exchange.outcome});
        QString error;
        if (!m_logPath.isEmpty() && !appendTransferLog(m_logPath, line, &error)) {
            emit logged(error);
        }
        emit logged(line);
    }
    setRunning(false);
    emit finished();
}

void SignRunDialog::setRunning(bool running) {
    for (QPushButton* button : m_commands) {
        button->setEnabled(!running);
    }
    m_signs->setEnabled(!running);
    m_cancel->setEnabled(running);
    if (!running) {
        m_ports.clear();
    }
    emit portsInUse(m_ports);
}
