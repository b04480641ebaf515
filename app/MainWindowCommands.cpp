// TTwpMain's controller commands: each runs on the command runner's thread
// with copies of the settings and the page list taken when it starts, and
// applies what it received when it has ended.

#include "app/CommandRunner.h"
#include "app/MainWindow.h"

#include "app/PageOverview.h"
#include "app/PagePanel.h"
#include "app/PagePreview.h"
#include "app/ParameterDialog.h"
#include "app/PortChooser.h"
#include "app/SettingsRow.h"
#include "app/StatusArea.h"
#include "app/VirtualSignLauncher.h"
#include "controller/ControllerCommands.h"
#include "controller/SignRun.h"
#include "core/TransferLog.h"
#include "import/LivePage.h"
#include "pages/PageHistory.h"
#include "transfer/ChangedPages.h"
#include "transfer/ModuleType.h"
#include "transfer/PageCheck.h"
#include "transfer/SendCheck.h"
#include "transfer/SetupImage.h"
#include "transfer/Transmission.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>

#include <memory>

bool confirmSendWithDialog(QWidget* parent, const QString& findings, bool canSend) {
    QMessageBox box(canSend ? QMessageBox::Warning : QMessageBox::Critical,
                    TTwpMain::tr("Before sending"), findings, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("SendReview"));
    box.setTextFormat(Qt::PlainText);
    QPushButton* send = nullptr;
    if (canSend) {
        send = box.addButton(TTwpMain::tr("Send anyway"), QMessageBox::AcceptRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Cancel);
    } else {
        box.addButton(QMessageBox::Close);
    }
    box.exec();
    return send && box.clickedButton() == static_cast<QAbstractButton*>(send);
}

TTwpMain::SendScope chooseSendScope(QWidget* parent, const QString& estimates) {
    QMessageBox box(
        QMessageBox::Question, TTwpMain::tr("Send changes only"),
        estimates + TTwpMain::tr("\n\nA controller that lost its memory since its last "
                                 "transfer shows old or empty pages until every page is sent."),
        QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("SendScope"));
    box.setTextFormat(Qt::PlainText);
    QPushButton* changes = box.addButton(TTwpMain::tr("Send changes"), QMessageBox::AcceptRole);
    changes->setObjectName(QStringLiteral("SendChanges"));
    QPushButton* all = box.addButton(TTwpMain::tr("Send all"), QMessageBox::AcceptRole);
    all->setObjectName(QStringLiteral("SendAll"));
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(changes);
    box.exec();
    if (box.clickedButton() == static_cast<QAbstractButton*>(changes)) {
        return TTwpMain::SendScope::Changes;
    }
    return box.clickedButton() == static_cast<QAbstractButton*>(all) ? TTwpMain::SendScope::All
                                                                     : TTwpMain::SendScope::Cancel;
}

bool TTwpMain::reviewed(const SendReview& review, int baud) {
    // A screen or rate that cannot be sent at all is told by the command
    // itself; the dialog is for what the operator may want to know first.
    bool worthShowing = false;
    for (const SendFinding& finding : review.findings) {
        worthShowing = worthShowing || finding.kind != SendFinding::Kind::NotSendable;
    }
    if (!worthShowing) {
        return true;
    }
    const QString text = review.texts().join(QStringLiteral("\n\n")) + tr("\n\nEstimate: ") +
                         review.estimateText(baud);
    return m_confirm(text, review.canSend()) && review.canSend();
}

void TTwpMain::m_SendClick() {
    const Settings s = settings();
    if (m_commands->busy() || portInUse() || typeFamily(s.TYPE).depth == Depth::NotSent) {
        return;  // a module type that is not sent: SEND does nothing
    }
    // Live pages are rendered now; the pages sent name the renderings.
    const LiveRendering live = renderLivePages(s, m_pages, m_folder, QDateTime::currentDateTime());
    if (!live.messages.isEmpty()) {
        showMessage(live.messages.join(QLatin1Char('\n')), QString());
    }
    if (!reviewed(reviewSend(s, live.pages, checkPages(s, live.pages, m_folder)), s.baudRate())) {
        return;
    }
    QDir::setCurrent(m_folder);
    bool changedOnly = false;
    const int selected = m_book.selectedIndex();
    if (selected >= 0 && m_book.signs[selected].sendChangesOnly) {
        const std::optional<ControllerRecord> record = m_records.find(controllerKey(s, m_folder));
        if (record) {
            // Pages prepared in the background are compared at once.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const ChangePlan plan =
                planChanges(s, live.pages, m_folder, record->content, &m_prepared, nullptr);
            QApplication::restoreOverrideCursor();
            if (plan.error.isEmpty()) {
                const SendScope scope = m_chooseScope(changedEstimateText(plan, s.baudRate()));
                if (scope == SendScope::Cancel) {
                    return;
                }
                changedOnly = scope == SendScope::Changes;
            }
        } else {
            changedOnly = true;  // the transfer says why everything goes
        }
    }
    m_commands->run(
        QStringLiteral("SEND"), s,
        [this, s, pages = live.pages, folder = m_folder, changedOnly, records = m_records](
            Link& link, OperatorSurface& surface) {
            // What was prepared in the background is written at once; the
            // rest is decoded while the first pages are on the line.
            m_preparation.stop();
            return sendPages(link, surface, s, pages, folder, {&m_prepared, changedOnly, &records});
        },
        [this](const ExchangeResult&) { m_preview->showSending(QImage()); });
}

void TTwpMain::setClockClicked() {
    if (portInUse()) {
        return;
    }
    m_commands->run(QStringLiteral("TIME"), settings(),
                    [s = settings()](Link& link, OperatorSurface& surface) {
                        return setClock(link, surface, s, QDateTime());
                    });
}

void TTwpMain::sendModesClicked() {
    const Settings s = settings();
    if (m_commands->busy() || portInUse() || !reviewed(reviewMode(s, m_pages), s.baudRate())) {
        return;
    }
    m_commands->run(
        QStringLiteral("MODE"), s,
        [s, pages = m_pages, records = m_records](Link& link, OperatorSurface& surface) {
            return sendPlayModes(link, surface, s, pages, &records);
        });
}

void TTwpMain::BitBtn2Click() {
    if (portInUse()) {
        return;
    }
    auto result = std::make_shared<ReadParaResult>();
    m_commands->run(
        QStringLiteral("READ PARA"), settings(),
        [s = settings(), result, records = m_records](Link& link, OperatorSurface& surface) {
            *result = readParameters(link, surface, s, &records);
            return result->exchange;
        },
        [this, result](const ExchangeResult&) {
            if (!result->received) {
                return;
            }
            if (m_form5) {
                m_form5->clearGeometry();
            }
            if (result->apply) {
                setSettings(result->settings);
                if (m_form5) {
                    m_form5->showParameters(result->parameters, true);
                }
            }
        });
}

void TTwpMain::saveParameters() {
    if (!m_form5 || portInUse()) {
        return;
    }
    const Settings s = settings();
    const ControllerParameters parameters = m_form5->parameters();
    m_commands->run(
        QStringLiteral("save parameter"), s,
        [s, parameters, records = m_records](Link& link, OperatorSurface& surface) {
            return ::saveParameters(link, surface, s, parameters, &records);
        },
        [this, s, parameters](const ExchangeResult& result) {
            if (result.stage != ExchangeResult::Stage::PortError) {
                setSettings(settingsAfterSave(s, parameters));
            }
        });
}

void TTwpMain::downloadSetupImage() {
    if (!m_form5 || m_commands->busy() || portInUse()) {
        return;
    }
    QDir::setCurrent(m_folder);
    const int type = m_form5->downloadType();
    const SetupImage setup = loadSetupImage(m_folder, type);
    if (!setup.error.isEmpty()) {
        showMessage(setup.error, QString());
        return;
    }
    const Settings s = settings();
    m_commands->run(
        QStringLiteral("Download"), s,
        [s, image = setup.image, records = m_records](Link& link, OperatorSurface& surface) {
            return downloadSetup(link, surface, s, image, &records);
        },
        [this, s, type](const ExchangeResult& result) {
            if (result.stage == ExchangeResult::Stage::PortError) {
                return;
            }
            m_form5->showParameters(defaultParameters(type));
            setSettings(settingsAfterDownload(s, type));
        });
}

bool TTwpMain::commandRunning() const {
    return m_commands->busy();
}

bool TTwpMain::portInUse() const {
    return m_portsInUse.contains(portKey(settings(), m_folder));
}

void TTwpMain::showPortCommands() {
    const bool running = m_commands->busy();
    const bool free = !running && !portInUse();
    for (QAction* action : {m_Send, m_Help, m_Exit}) {
        action->setEnabled(free);
    }
    m_settingsRow->setReadParaEnabled(free);
    if (m_form5) {
        m_form5->setCommandRunning(!free);
    }
}

void TTwpMain::waitForCommand() {
    m_commands->waitIdle();
}

void TTwpMain::commandRunningChanged(bool running) {
    for (QAction* action : {m_Send, m_Help, m_Exit, ToolButton2, m_OpenFolder, m_VirtualSign,
                            m_SignBook, m_ToSigns}) {
        action->setEnabled(!running);
    }
    // The list stays as it is being sent: no edit, undo or redo meanwhile.
    m_history->stack()->setActive(!running);
    if (running) {
        m_undo->setEnabled(false);
        m_redo->setEnabled(false);
    } else {
        m_undo->setEnabled(m_history->stack()->canUndo());
        m_redo->setEnabled(m_history->stack()->canRedo());
    }
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Ra1, Ra2, m_settingsRow, m_pagePanel,
                                         m_pagePanel->tabBar(), m_overview, m_signChooser}) {
        widget->setEnabled(!running);
    }
    showPortCommands();
    m_status->setCancelVisible(running);
    if (!running) {
        schedulePreparation();
        m_status->setCommandState(QString());
        m_lineProgress = false;
        PBar->setRange(0, kProgressMaximum);
        PBar->hide();
    }
}

void TTwpMain::lineProgress(qint64 sent, qint64 total, qint64 msLeft) {
    const QLocale locale(QLocale::English);
    const QString text =
        tr("%1 of %2 bytes sent, %3 left")
            .arg(locale.toString(sent), locale.toString(total), durationText(msLeft));
    m_lineProgress = true;
    PBar->setRange(0, kProgressMaximum);
    PBar->setValue(total > 0 ? static_cast<int>(sent * kProgressMaximum / total) : 0);
    PBar->setFormat(text);
    PBar->show();
    m_status->setCommandState(text);
}

void TTwpMain::awaitingReply(int timeoutMs) {
    const QString text = tr("waiting for the controller (up to %1 s)").arg(timeoutMs / 1000);
    PBar->setRange(0, 0);  // busy: no end known
    PBar->setFormat(text);
    PBar->show();
    m_status->setCommandState(text);
}

void TTwpMain::schedulePreparation() {
    m_prepareTimer->start();
}

void TTwpMain::preparePages() {
    if (m_commands->busy()) {
        return;  // prepared again when the command has ended
    }
    const Settings s = settings();
    const MemoryMap map = memoryMapFor(s);
    const bool sendable = typeFamily(s.TYPE).depth != Depth::NotSent && map.fits();
    m_preparation.start(s, m_pages, sendable ? map.pagesSent(m_pages.PageCount()) : 0, m_folder);
}

void TTwpMain::virtualSignClicked() {
    if (!m_virtualSign) {
        m_virtualSign = new VirtualSignLauncher(this);
        connect(m_virtualSign, &VirtualSignLauncher::ready, this, [this](const QString& link) {
            m_portBeforeVirtualSign = settings().PORT;
            m_settingsRow->portChooser()->setPortName(link, QStringLiteral("Virtual sign"));
            Settings s = settings();
            s.PORT = link;
            setSettings(s);
            setStatus(2, QStringLiteral("virtual sign on %1").arg(link));
        });
        connect(m_virtualSign, &VirtualSignLauncher::failed, this,
                [this](const QString& reason) { showMessage(reason, QString()); });
        connect(m_virtualSign, &VirtualSignLauncher::stopped, this, [this](const QString& link) {
            if (settings().PORT == link) {
                Settings s = settings();
                s.PORT = m_portBeforeVirtualSign;
                setSettings(s);
            }
        });
    }
    if (m_virtualSign->running()) {
        // Already there: its port is chosen again.
        Settings s = settings();
        s.PORT = m_virtualSign->link();
        setSettings(s);
        return;
    }
    QString error;
    if (!m_virtualSign->start(m_folder, settings(), &error)) {
        showMessage(error, QString());
    }
}
