// The sign book and several signs from the window.

#include "app/ServiceLink.h"
#include "app/SignBookDialog.h"
#include "app/SignRunDialog.h"
#include "platform/LocalChannel.h"
#include "service/ServiceChannel.h"
#include "service/SignService.h"
#include "tests/ProgramSupport.h"
#include "tests/SignSupport.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableWidget>

#include <atomic>
#include <thread>

TEST(SignsWindow, TwoSignsSelectedAndSentShowBothOutcomes) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeShowList(folder);
    Background programs;
    ASSERT_TRUE(programs.emulate(folder, 1, {"--out", folder + "/shop"}));
    SignBook book;
    book.signs = {bookSign("Shop", 1), bookSign("Yard", 2, folder + "/com7")};
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason));

    Program program(folder);
    TTwpMain& window = program.window;
    // The settings row is the selected sign.
    QComboBox* chooser = control<QComboBox>(window, "SignChooser");
    ASSERT_EQ(chooser->count(), 2);
    chooser->setCurrentIndex(1);
    emit chooser->activated(1);
    EXPECT_EQ(window.settings().PORT, folder + "/com7");
    EXPECT_EQ(window.settings().NUM, 2);
    chooser->setCurrentIndex(0);
    emit chooser->activated(0);
    EXPECT_EQ(window.settings().PORT, QString());

    window.loadListFrom(folder + "/show.lis");
    SignRunDialog* run = window.openSignRun();
    QListWidget* signs = control<QListWidget>(*run, "Signs");
    signs->item(0)->setCheckState(Qt::Checked);
    signs->item(1)->setCheckState(Qt::Checked);
    control<QPushButton>(*run, "SendSigns")->click();
    EXPECT_TRUE(run->running());
    // The window's commands wait while the run serves the window's port, and
    // only then.
    const auto portCommands = [&] {
        QList<bool> enabled;
        for (const char* name : {"m_Send", "m_Help", "m_Exit"}) {
            enabled << control<QAction>(window, name)->isEnabled();
        }
        return enabled << control<QPushButton>(window, "BitBtn2")->isEnabled();
    };
    const QList<bool> none = {false, false, false, false}, all = {true, true, true, true};
    EXPECT_EQ(portCommands(), none);
    QSpinBox* comm = control<QSpinBox>(window, "Edit6");
    comm->setValue(3);
    EXPECT_EQ(portCommands(), all);
    comm->setValue(1);
    EXPECT_EQ(portCommands(), none);
    QTRY_VERIFY_WITH_TIMEOUT(!run->running(), 30000);
    EXPECT_EQ(portCommands(), all);
    QTableWidget* results = control<QTableWidget>(*run, "Results");
    ASSERT_EQ(results->rowCount(), 2);
    EXPECT_EQ(results->item(0, 0)->text(), "Shop");
    EXPECT_EQ(results->item(0, 2)->text(), "rec success!");
    EXPECT_EQ(results->item(1, 2)->text(), "port error");
    EXPECT_TRUE(results->item(1, 5)->text().contains(folder + "/com7"))
        << results->item(1, 5)->text().toStdString();
    EXPECT_EQ(QImage(folder + "/shop/page1.png").pixelColor(10, 4), QColor(255, 0, 0));
    run->close();

    // The dialog keeps a book only when every row is good.
    SignBookDialog edit(window.signBook(), &window);
    QTableWidget* table = control<QTableWidget>(edit, "SignTable");
    table->item(0, 3)->setText("4000");  // WIDTH
    edit.accept();
    EXPECT_EQ(control<QLabel>(edit, "Problem")->text(),
              "Sign \"Shop\": WIDTH must be a number from 8 to 2048");
    table->item(0, 3)->setText("96");
    table->item(0, 0)->setText("Shop front");
    edit.accept();
    EXPECT_EQ(edit.result(), QDialog::Accepted);
    window.replaceSignBook(edit.book());
    EXPECT_EQ(window.settings().WIDTH, 96);
    EXPECT_EQ(chooser->itemText(0), "Shop front");
    SignBook kept;
    ASSERT_TRUE(readSignBook(folder, Settings(), &kept).error.isEmpty());
    EXPECT_EQ(kept.selected, "Shop front");
}

// SIGNS(G)... keeps what its table does not show: a renamed sign keeps its
// schedule and clock time; a sign added has none.
TEST(SignsWindow, TheDialogKeepsSchedules) {
    SignBook book;
    ASSERT_EQ(parseSignBook(R"({"signs": [{"name": "Shop", "setClock": "off",
        "schedule": [{"days": "sat,sun", "list": "weekend.lis"}]}]})",
                            &book),
              QString());
    SignBookDialog edit(book);
    control<QTableWidget>(edit, "SignTable")->item(0, 0)->setText("Shop front");
    control<QPushButton>(edit, "AddSign")->click();
    edit.accept();
    ASSERT_EQ(edit.result(), QDialog::Accepted);
    ASSERT_EQ(edit.book().signs.size(), 2);
    EXPECT_EQ(edit.book().signs[0].name, "Shop front");
    EXPECT_EQ(edit.book().signs[0].schedule, book.signs[0].schedule);
    EXPECT_EQ(edit.book().signs[0].setClock, kClockNever);
    EXPECT_TRUE(edit.book().signs[1].schedule.isEmpty());
    EXPECT_EQ(edit.book().signs[1].setClock, kDefaultClockMinute);
}

// With the sign service running, the window's SEND to a sign it serves
// waits until the service's transfer is done and says so, then goes; the
// sign book shows each sign's health.
TEST(SignsWindow, TheWindowWaitsForTheServiceAndShowsItsHealth) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeShowList(folder);
    // Eight pages at 9600 bit/s: a few seconds on the line.
    QByteArray eight;
    for (int i = 0; i < 8; ++i) {
        eight += "line.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\n";
    }
    writeBytes(folder + "/eight.lis", eight);
    Background programs;
    ASSERT_TRUE(programs.emulate(folder, 1, {"--out", folder + "/shop"}));
    SignBook book;
    book.signs = {bookSign("Shop", 1), bookSign("Yard", 2, folder + "/com7")};
    book.signs[0].list = "eight.lis";
    book.signs[0].setClock = kClockNever;
    book.signs[1].list = "show.lis";
    QString reason;
    ASSERT_TRUE(writeSignBook(folder, book, &reason));

    Program program(folder);
    TTwpMain& window = program.window;
    window.loadListFrom(folder + "/show.lis");
    ServiceOptions options;
    options.folders = Folders(folder);
    SignService service(options);
    LocalChannelServer server;
    ASSERT_TRUE(server.listen(serviceSocketPath(folder), &reason)) << reason.toStdString();
    ServiceChannel channel(service, server);
    ASSERT_TRUE(service.start(&reason));
    QTRY_VERIFY_WITH_TIMEOUT(!service.health().isEmpty() && service.health()[0].busy, 5000);

    window.findChild<QAction*>("m_Send")->trigger();
    window.waitForCommand();
    const QString log = window.findChild<QPlainTextEdit*>()->toPlainText();
    EXPECT_TRUE(
        log.contains("The sign service is using the port of Shop: waiting until it is done"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("rec success!")) << log.toStdString();
    EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();
    EXPECT_EQ(service.health()[0].state, SignHealth::State::Ok);
    EXPECT_EQ(service.health()[0].list, "eight.lis");
    // The window's list came last.
    QTest::qWait(300);
    EXPECT_EQ(readBytes(folder + "/shop/playlist.txt"), kShowTable);

    QTRY_VERIFY_WITH_TIMEOUT(service.health()[1].state == SignHealth::State::Retrying, 5000);
    // The service answers from this thread's event loop: ask from another.
    QJsonObject status;
    std::atomic<bool> asked{false};
    std::thread asker([&] {
        status = askServiceStatus(folder);
        asked = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(asked, 5000);
    asker.join();
    SignBookDialog edit(window.signBook(), &window, status);
    QTableWidget* table = control<QTableWidget>(edit, "SignTable");
    const int column = table->columnCount() - 1;
    EXPECT_FALSE(table->isColumnHidden(column));
    EXPECT_EQ(table->item(0, column)->text(), "ok");
    EXPECT_EQ(table->item(1, column)->text(), "retrying");
    EXPECT_TRUE(table->item(1, column)->toolTip().contains("Last failure: "));
    EXPECT_TRUE(control<QTableWidget>(*new SignBookDialog(window.signBook(), &window), "SignTable")
                    ->isColumnHidden(column));
}
