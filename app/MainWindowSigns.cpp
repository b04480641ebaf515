// TTwpMain and the sign book: the settings row is the selected sign, the
// book is edited in its dialog, and several signs are served from the
// "TO SIGNS…" dialog.

#include "app/MainWindow.h"
#include "app/ServiceLink.h"
#include "app/SignBookDialog.h"
#include "app/SignRunDialog.h"
#include "app/TransferLogDock.h"
#include "core/TransferLog.h"

#include <QComboBox>

void TTwpMain::loadSignBook(const Settings& current) {
    const SignBookReadResult read = readSignBook(m_folders.settings, current, &m_book);
    m_bookKept = read.found && read.error.isEmpty();
    if (!read.error.isEmpty()) {
        // The file stays as it is, to be mended; the window goes on with ck.ini.
        showMessage(read.error, QString());
    }
    // ck.ini holds the selected sign's settings: what old scripts changed
    // there (read-para, save-para) wins.
    m_book.signs[m_book.selectedIndex()].settings = current;
    showSignChoice();
}

void TTwpMain::storeRowInBook() {
    m_book.signs[m_book.selectedIndex()].settings = settings();
}

void TTwpMain::keepSignBook() {
    QString reason;
    if (!writeSignBook(m_folders.settings, m_book, &reason)) {
        showMessage(reason, QString());
    }
}

void TTwpMain::showSignChoice() {
    m_signChooser->clear();
    for (const Sign& sign : m_book.signs) {
        m_signChooser->addItem(sign.name);
    }
    m_signChooser->setCurrentIndex(m_book.selectedIndex());
}

void TTwpMain::chooseSign(int index) {
    if (index < 0 || index >= m_book.signs.size() || index == m_book.selectedIndex()) {
        return;
    }
    storeRowInBook();
    m_book.selected = m_book.signs[index].name;
    setSettings(m_book.signs[index].settings);
    m_bookKept = true;
    keepSignBook();
}

void TTwpMain::replaceSignBook(const SignBook& book) {
    m_book = book;
    setSettings(m_book.signs[m_book.selectedIndex()].settings);
    m_bookKept = true;
    keepSignBook();
    showSignChoice();
}

void TTwpMain::editSignBook() {
    storeRowInBook();
    SignBookDialog dialog(m_book, this, askServiceStatus(m_folders.settings));
    if (dialog.exec() == QDialog::Accepted) {
        replaceSignBook(dialog.book());
    }
}

SignRunDialog* TTwpMain::openSignRun() {
    storeRowInBook();
    auto* dialog =
        new SignRunDialog(m_book, m_folder, m_pages, transferLogPath(m_folders.data), this);
    dialog->setControllerRecords(m_records);
    dialog->setServiceFolder(m_folders.settings);
    connect(dialog, &SignRunDialog::logged, m_log, &TransferLogDock::append);
    connect(dialog, &SignRunDialog::portsInUse, this, [this](const QStringList& ports) {
        m_portsInUse = ports;
        showPortCommands();
    });
    // Closed while it runs: the run stops with the dialog.
    connect(dialog, &QDialog::finished, this, [this] {
        m_portsInUse.clear();
        showPortCommands();
    });
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}
