#pragma once

#include "controller/ControllerRecord.h"
#include "controller/SignRun.h"
#include "core/SignBook.h"
#include "pages/PageList.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QListWidget;
class QPushButton;
class QTableWidget;

// SEND, MODE or TIME to the signs ticked in the list: signs on one port one
// after the other, ports at the same time. Each sign has a row in the results
// table (sign, progress, outcome, bytes, time, reason) that follows it while
// it is served; a failure on one sign never stops the others. SEND and MODE
// send the window's page list.
class SignRunDialog : public QDialog {
    Q_OBJECT
  public:
    // logPath: the transfer log, a line a sign served (empty: no file).
    SignRunDialog(const SignBook& book, const QString& folder, const PageList& pages,
                  const QString& logPath, QWidget* parent = nullptr);
    // Asks a run to stop and waits for it.
    ~SignRunDialog() override;
    // Where a running sign service would be found (the settings folder):
    // its signs' ports are taken from it before they are served.
    void setServiceFolder(const QString& settingsFolder) { m_settingsFolder = settingsFolder; }
    // Where the records of what each controller holds are kept true; signs
    // set to send changes only send the changed pages by them.
    void setControllerRecords(const ControllerRecords& records) { m_records = records; }

    // Starts command on the ticked signs; false when none is ticked or a run
    // is going on.
    bool start(SignCommand command);
    bool running() const { return m_worker != nullptr; }
    const std::vector<SignResult>& results() const { return m_results; }

  signals:
    void finished();
    void logged(const QString& line);  // a line of the transfer log
    // The ports of the signs being served when a run starts, none when it ends.
    void portsInUse(const QStringList& ports);

  private:
    class RowSurface;
    void showResults(const std::vector<SignResult>& results);
    void setRunning(bool running);

    SignBook m_book;
    QString m_folder;
    QString m_settingsFolder;
    PageList m_pages;
    QString m_logPath;
    ControllerRecords m_records;
    SignCommand m_command = SignCommand::Send;
    QDateTime m_started;
    QListWidget* m_signs;
    QTableWidget* m_table;
    std::vector<QPushButton*> m_commands;
    QPushButton* m_cancel;
    std::vector<std::unique_ptr<RowSurface>> m_surfaces;
    std::vector<int> m_rowOfJob;
    std::vector<SignResult> m_results;
    QStringList m_ports;  // of the run going on, as portKey names them
    std::unique_ptr<std::thread> m_worker;
    std::atomic<bool> m_stop{false};
};
