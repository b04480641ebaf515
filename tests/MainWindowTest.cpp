#include "tests/ProgramSupport.h"

#include <QFrame>
#include <QThread>

namespace {

void clickTab(QWidget& window, int index) {
    QTabBar* tabs = control<QTabBar>(window, "Tab");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

TEST(MainWindow, FirstStartHasTheDefaultsAndCloseWritesCkIni) {
    QTemporaryDir dir;
    {
        Program program(dir.path());
        TTwpMain& window = program.window;
        EXPECT_EQ(window.settings(), Settings{});
        EXPECT_EQ(control<QComboBox>(window, "ComboBox2")->currentText(), "9600");
        EXPECT_EQ(control<QComboBox>(window, "ComboBox1")->count(), 27);
        EXPECT_EQ(program.tabs(), QStringList{"1"});
        EXPECT_FALSE(control<QPushButton>(window, "DelMu")->isEnabled());
        EXPECT_FALSE(control<QProgressBar>(window, "PBar")->isVisible());
        EXPECT_EQ(control<QProgressBar>(window, "PBar")->maximum(), 100000);
        EXPECT_EQ(control<QLabel>(window, "StatusPanel1")->width(), 200);
        for (const char* panel : {"StatusPanel0", "StatusPanel1", "StatusPanel2"}) {
            EXPECT_TRUE(control<QLabel>(window, panel)->text().isEmpty());
        }
        EXPECT_EQ(control<QComboBox>(window, "InModeList")->currentText(), "0 — appear at once");
        EXPECT_EQ(control<QSpinBox>(window, "Edit2")->value(), 5);
        EXPECT_TRUE(control<QRadioButton>(window, "Ra1")->isChecked());
        for (const char* action : {"m_Send", "m_EditTxt", "m_EditBmp", "m_Help", "m_Exit",
                                   "ToolButton1", "ToolButton2"}) {
            EXPECT_NE(window.findChild<QAction*>(action), nullptr) << action;
        }
        EXPECT_EQ(window.findChild<QAction*>("m_Send")->text(), "SEND(&S)");
        EXPECT_EQ(window.previewShown().size(), QSize(64, 16));
        EXPECT_EQ(window.previewShown().pixelColor(10, 10), QColor(Qt::black));
        control<QSpinBox>(window, "Edit4")->setValue(128);
        control<QComboBox>(window, "ComboBox1")->setCurrentIndex(26);
        window.close();
        EXPECT_TRUE(program.messages.isEmpty());
    }
    EXPECT_EQ(readBytes(QDir(dir.path()).filePath("ck.ini")),
              "1\r\n128\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n26\r\n0\r\n");
}

TEST(MainWindow, CkIniThatCannotBeReadOrSavedIsReported) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(QDir(dir.path()).filePath("ck.ini"), "3\r\n96\r\n32\r\nx\r\n"));
    Program bad(dir.path());
    EXPECT_EQ(bad.messages, QStringList{"Invalid numeric input"});
    EXPECT_EQ(settingsText(bad.window.settings()), "3 96 32 1 16 0 1 0 0 0");

    QTemporaryDir other;
    Program blocked(other.path());
    ASSERT_TRUE(QDir(other.path()).mkdir("ck.ini"));  // something in the way
    EXPECT_TRUE(blocked.window.close());              // closing is always allowed
    ASSERT_EQ(blocked.messages.size(), 1);
    EXPECT_TRUE(blocked.messages[0].startsWith("CAN NOT SAVE PARAMETER\nCannot write "))
        << blocked.messages[0].toStdString();
}

TEST(MainWindow, PreviewFollowsTheScreenSize) {
    QTemporaryDir dir;
    Program program(dir.path());
    TTwpMain& window = program.window;
    QFrame* frame = control<QFrame>(window, "Panel1");
    QWidget* stage = frame->parentWidget();
    control<QComboBox>(window, "Zoom")->setCurrentIndex(1);  // 1:1
    for (const QSize screen : {QSize(128, 16), QSize(64, 16), QSize(256, 64), QSize(2048, 600)}) {
        SCOPED_TRACE(screen.width());
        control<QSpinBox>(window, "Edit4")->setValue(screen.width());
        control<QSpinBox>(window, "Edit5")->setValue(screen.height());
        QCoreApplication::processEvents();
        EXPECT_EQ(frame->size(), screen + QSize(2, 2));
        EXPECT_EQ(window.previewShown().size(), screen);
        // The parameter panel, then the tab strip, stand below the frame.
        const QRect panel = control<QWidget>(window, "ParameterPanel")->geometry();
        const QRect tabs = control<QTabBar>(window, "Tab")->geometry();
        EXPECT_EQ(panel.top(), frame->geometry().bottom() + 1 + 20);
        EXPECT_EQ(tabs.top(), panel.bottom() + 1 + 10);
        EXPECT_EQ(tabs.left(), panel.left());
        // Nothing is cut off: the stage is as large as all of it.
        EXPECT_GE(stage->width(), frame->geometry().right() + 1);
        EXPECT_GE(stage->height(), control<QProgressBar>(window, "PBar")->geometry().bottom());
    }
}

TEST(MainWindow, AddDeleteAndScopeThroughTheControls) {
    QTemporaryDir dir;
    Program program(dir.path());
    TTwpMain& window = program.window;
    QPushButton* remove = control<QPushButton>(window, "DelMu");
    QSpinBox* time = control<QSpinBox>(window, "Edit2");
    QComboBox* mode = control<QComboBox>(window, "InModeList");
    program.addPages(2);
    EXPECT_EQ(program.tabs(), (QStringList{"1", " 2", " 3"}));
    time->setValue(300);  // page 3
    EXPECT_EQ(window.pages().item(3).DispTime, 44);

    clickTab(window, 1);
    EXPECT_EQ(time->value(), 5);
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(program.tabs(), (QStringList{"1", " 2"}));
    EXPECT_EQ(control<QTabBar>(window, "Tab")->currentIndex(), 1);
    EXPECT_EQ(window.pages().item(2).DispTime, 44);
    EXPECT_EQ(time->value(), 300 % 256);

    // ALL: DISPMODE goes to every page; back to SINGLE: only the current one.
    QTest::mouseClick(control<QRadioButton>(window, "Ra2"), Qt::LeftButton);
    mode->setCurrentIndex(40);
    emit mode->activated(40);
    QTest::mouseClick(control<QRadioButton>(window, "Ra1"), Qt::LeftButton);
    mode->setCurrentIndex(3);
    emit mode->activated(3);
    EXPECT_EQ(window.pages().item(1).InMode, 40);
    EXPECT_EQ(window.pages().item(2).InMode, 3);

    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_EQ(program.tabs(), QStringList{"1"});
}

TEST(MainWindow, LoadFileSetsThePagePictureAndShowsIt) {
    QTemporaryDir dir;
    Program program(dir.path());
    TTwpMain& window = program.window;
    const QString jpeg = QDir(dir.path()).filePath("RED.JPG");
    ASSERT_TRUE(filled({640, 480}, QColor(250, 0, 0)).save(jpeg, "JPEG", 95));

    program.addPages(1);
    window.loadFile(jpeg);
    EXPECT_EQ(window.pages().item(2).FileName, jpeg);
    EXPECT_TRUE(window.pages().item(1).FileName.isEmpty());
    EXPECT_EQ(window.previewShown().pixelColor(30, 8), QColor(Qt::red));  // the sign lights it red

    // Page 1 is blank: black. A broken picture: black with a red cross.
    clickTab(window, 0);
    EXPECT_EQ(window.previewShown().pixelColor(30, 8), QColor(Qt::black));
    const QString broken = QDir(dir.path()).filePath("broken.bmp");
    ASSERT_TRUE(writeBytes(broken, "BM this is not a picture"));
    window.loadFile(broken);
    EXPECT_EQ(window.pages().item(1).FileName, broken);
    EXPECT_EQ(program.messages.size(), 1);
    EXPECT_EQ(window.previewShown().pixelColor(0, 0).red(), 220);
    EXPECT_EQ(window.previewShown().pixelColor(30, 2), QColor(Qt::black));

    // Another extension does nothing.
    window.loadFile(QDir(dir.path()).filePath("notes.pdf"));
    EXPECT_EQ(window.pages().item(1).FileName, broken);
}

TEST(MainWindow, OtherProgramsAreStartedWithTheirFileAndFolder) {
    QTemporaryDir dir;
    QTemporaryDir bin;
    // Stand-ins first on PATH record their working folder and arguments.
    const QString record = QDir(bin.path()).filePath("record.txt");
    for (const QString name : {"kolourpaint", "xdg-open", "gedit"}) {
        const QString standIn = QDir(bin.path()).filePath(name);
        ASSERT_TRUE(writeBytes(standIn, QStringLiteral("#!/bin/sh\n(echo %1; pwd; echo \"$@\") > "
                                                       "'%2.tmp'\nmv '%2.tmp' '%2'\n")
                                            .arg(name, record)
                                            .toUtf8()));
        QFile::setPermissions(standIn, QFile::permissions(standIn) | QFileDevice::ExeOwner);
    }
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ":" + oldPath);
    Program program(dir.path());
    TTwpMain& window = program.window;
    const QString folder = QDir(dir.path()).canonicalPath();
    const QString pictures = QDir(folder).filePath("pictures");
    QDir().mkpath(pictures);
    ASSERT_TRUE(QImage(64, 16, QImage::Format_RGB32).save(pictures + "/shop.bmp"));
    QWidget* preview = control<QWidget>(window, "DispPlay");
    const auto picture = [&] { window.findChild<QAction*>("m_EditBmp")->trigger(); };
    const auto doubleClick = [&] { QTest::mouseDClick(preview, Qt::LeftButton); };

    const std::tuple<const char*, std::function<void()>, QString> cases[] = {
        {"PICTURE on a blank page", picture, "kolourpaint\n" + folder + "\nqzrn.bmp\n"},
        {"double click on a blank page: nothing", doubleClick, ""},
        {"EDIT", [&] { window.findChild<QAction*>("m_EditTxt")->trigger(); },
         "gedit\n" + folder + "\n\n"},
        {"PICTURE on a page with a file",
         [&] {
             window.loadFile(pictures + "/shop.bmp");
             picture();
         },
         "kolourpaint\n" + pictures + "\nshop.bmp\n"},
        {"double click on a page with a file", doubleClick,
         "xdg-open\n" + folder + "\n" + pictures + "/shop.bmp\n"},
    };
    for (const auto& [name, act, expected] : cases) {
        SCOPED_TRACE(name);
        QFile::remove(record);
        act();
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(record) && timer.elapsed() < (expected.isEmpty() ? 500 : 10000)) {
            QThread::msleep(20);
        }
        EXPECT_EQ(QString::fromUtf8(readBytes(record)), expected);
    }
    qputenv("PATH", oldPath);

    // The canvas PICTURE wrote: black, the preview frame's size; PICTURE
    // never changes the page.
    const QImage canvas(QDir(dir.path()).filePath("qzrn.bmp"));
    EXPECT_EQ(canvas.size(), QSize(66, 18));
    EXPECT_EQ(canvas.pixelColor(33, 9), QColor(Qt::black));
    EXPECT_EQ(window.pages().item(1).FileName, pictures + "/shop.bmp");
}

TEST(MainWindow, SaveAndLoadListThroughTheWindow) {
    QTemporaryDir dir;
    Program program(dir.path());
    TTwpMain& window = program.window;
    QSpinBox* speed = control<QSpinBox>(window, "Edit1");
    program.addPages(1);
    speed->setValue(7);
    window.saveListTo(QDir(dir.path()).filePath("show.txt"));  // written as show.lis
    program.addPages(1);
    window.loadListFrom(QDir(dir.path()).filePath("show.lis"));
    EXPECT_EQ(program.tabs(), (QStringList{"1", "2"}));
    // Page 1 is selected and shown at once.
    EXPECT_EQ(window.pages().currentTab(), 0);
    EXPECT_TRUE(control<QPushButton>(window, "DelMu")->isEnabled());
    EXPECT_TRUE(speed->isEnabled());
    EXPECT_EQ(speed->value(), 0);
    clickTab(window, 1);
    EXPECT_TRUE(speed->isEnabled());
    EXPECT_EQ(speed->value(), 7);
}

}  // namespace
