#include "app/PageOverview.h"
#include "app/PictureImportDialog.h"
#include "core/Preferences.h"
#include "import/PictureImport.h"
#include "import/TextEncoding.h"
#include "pages/PageHistory.h"
#include "platform/PictureFile.h"
#include "tests/ProgramSupport.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QStringEncoder>

namespace {

// The overview's page list, its actions and the window made active, so that
// keys reach the shortcuts.
struct Overview {
    explicit Overview(Program& program)
        : window(program.window), view(control<QListView>(window, "PageOverviewList")) {
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void trigger(const char* action) { control<QAction>(window, action)->trigger(); }
    void key(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        target->setFocus();
        QTest::keyClick(target, key, modifiers);
        QCoreApplication::processEvents();
    }
    // Drags page from (1..n) and drops it on the lower half of page onto.
    void drag(int from, int onto) {
        QAbstractItemModel* model = view->model();
        view->setCurrentIndex(model->index(from - 1, 0));
        std::unique_ptr<QMimeData> data(model->mimeData({model->index(from - 1, 0)}));
        const QRect target = view->visualRect(model->index(onto - 1, 0));
        const QPoint at(target.center().x(), target.bottom() - 2);
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &move);
        QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &drop);
        QCoreApplication::processEvents();
    }
    TTwpMain& window;
    QListView* view;
};

// The pages 1..n as "file:time" words, to compare states at a glance.
QString pagesText(const PageList& pages) {
    QStringList words;
    for (int k = 1; k <= pages.PageCount(); ++k) {
        words << QStringLiteral("%1:%2").arg(pages.item(k).FileName).arg(pages.item(k).DispTime);
    }
    return words.join(' ');
}

TEST(PageListEditing, EveryEditIsUndoneAndRedoneInTurn) {
    QTemporaryDir dir;
    Program program(dir.path());
    Overview overview(program);
    TTwpMain& window = program.window;
    const PageList& pages = window.pages();
    ASSERT_TRUE(QImage(64, 16, QImage::Format_RGB32).save(dir.filePath("a.bmp")));
    QSpinBox* time = control<QSpinBox>(window, "Edit2");
    QComboBox* mode = control<QComboBox>(window, "InModeList");

    // Each edit and the list it leaves; the page selected after it.
    const std::tuple<const char*, std::function<void()>, QString, int> edits[] = {
        {"LOADFILE", [&] { window.loadFile(dir.filePath("a.bmp")); }, "A:5", 1},
        {"DISPTIME typed",
         [&] {
             time->setFocus();
             time->selectAll();
             QTest::keyClicks(time, "12");  // "1", then "12": one step
         },
         "A:12", 1},
        {"ADDPAGE", [&] { program.addPages(1); }, "A:12 :5", 2},
        {"DISPMODE", [&] { emit mode->activated(7); }, "A:12 :5", 2},
        {"insert before", [&] { overview.trigger("InsertBefore"); }, "A:12 :5 :5", 2},
        {"duplicate page 1",
         [&] {
             window.findChild<QTabBar*>("Tab")->setCurrentIndex(0);
             emit window.findChild<QTabBar*>("Tab")->tabBarClicked(0);
             overview.trigger("Duplicate");
         },
         "A:12 A:12 :5 :5", 2},
        {"insert after", [&] { overview.trigger("InsertAfter"); }, "A:12 A:12 :12 :5 :5", 3},
        {"move down by keys",
         [&] { overview.key(overview.view, Qt::Key_Down, Qt::ControlModifier); },
         "A:12 A:12 :5 :12 :5", 4},
        {"move page 1 by drag after page 4", [&] { overview.drag(1, 4); }, "A:12 :5 :12 A:12 :5",
         4},
        {"delete", [&] { overview.key(overview.view, Qt::Key_Delete, {}); }, "A:12 :5 :12 :5", 4},
    };
    std::vector<QString> states{pagesText(pages)};
    for (const auto& [name, edit, expected, selected] : edits) {
        SCOPED_TRACE(name);
        edit();
        QString shown = pagesText(pages);
        shown.replace(dir.filePath("a.bmp"), "A");
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(pages.currentPage(), selected);
        EXPECT_EQ(control<QLabel>(window, "PagePosition")->text(),
                  QStringLiteral("page %1 of %2").arg(selected).arg(pages.PageCount()));
        states.push_back(pagesText(pages));
    }
    EXPECT_EQ(window.history()->stack()->count(), static_cast<int>(std::size(edits)));
    EXPECT_TRUE(window.listModified());

    // Ctrl+Z steps back through every state, Ctrl+Shift+Z forward again.
    for (size_t i = states.size() - 1; i > 0; --i) {
        overview.key(&window, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(pagesText(pages), states[i - 1]) << i;
        EXPECT_EQ(program.tabs().size(), pages.PageCount());
    }
    EXPECT_FALSE(window.listModified());
    for (size_t i = 1; i < states.size(); ++i) {
        overview.key(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(pagesText(pages), states[i]) << i;
    }
    EXPECT_EQ(overview.view->model()->rowCount(), pages.PageCount());
}

TEST(PageListEditing, ThumbnailsArriveFromAWorkerAndFollowTheirPictures) {
    QTemporaryDir dir;
    Program program(dir.path());
    Overview overview(program);
    TTwpMain& window = program.window;
    auto* model = window.findChild<PageOverviewModel*>();
    ASSERT_NE(model, nullptr);
    const QImage placeholder = PageOverviewModel::placeholder();
    const auto shown = [&](int row) {
        return model->data(model->index(row, 0), Qt::DecorationRole).value<QImage>();
    };
    const auto settle = [&] {
        QElapsedTimer timer;
        timer.start();
        while (model->thumbnailsPending() > 0 && timer.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_EQ(model->thumbnailsPending(), 0);
    };
    const auto picture = [&](const char* name, QColor colour) {
        QImage image(64, 16, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(dir.filePath(name)));
        return dir.filePath(name);
    };
    const QString red = picture("red.bmp", Qt::red);
    const QString green = picture("green.bmp", Qt::green);
    const QString white = picture("white.bmp", Qt::white);

    // Not drawn by the window's thread: a placeholder until the worker's
    // thumbnail has been delivered.
    window.loadFile(red);
    EXPECT_EQ(shown(0), placeholder);
    settle();
    const QImage redThumb = shown(0);
    EXPECT_NE(redThumb, placeholder);
    program.addPages(1);
    window.loadFile(green);
    settle();
    const QImage greenThumb = shown(1);
    EXPECT_NE(greenThumb, placeholder);
    EXPECT_NE(greenThumb, redThumb);

    // Thumbnails follow their pictures, not their rows: after a move both
    // are shown at once, from the cache.
    overview.trigger("MoveEarlier");
    EXPECT_EQ(shown(0), greenThumb);
    EXPECT_EQ(shown(1), redThumb);

    // A page whose picture changes while its thumbnail is being drawn never
    // shows the thumbnail of the picture it had.
    program.addPages(1);
    window.loadFile(white);
    EXPECT_EQ(shown(2), placeholder);  // its thumbnail asked for
    window.loadFile(red);
    EXPECT_EQ(shown(2), redThumb);
    settle();
    EXPECT_EQ(shown(2), redThumb);
    EXPECT_EQ(shown(0), greenThumb);
}

TEST(PageListEditing, UnsavedListsAreOfferedForSavingAndTheLastListReopens) {
    QTemporaryDir dir;
    const QString list = dir.filePath("show.lis");
    {
        Program program(dir.path());
        TTwpMain& window = program.window;
        program.addPages(1);
        ASSERT_TRUE(window.saveListTo(list));
        EXPECT_FALSE(window.listModified());
        EXPECT_TRUE(window.close());  // saved: no question
        EXPECT_EQ(program.prompts, 0);

        window.show();
        program.addPages(1);
        using A = TTwpMain::SaveAnswer;
        // NEW LIST, LOADLIST and closing ask; Cancel keeps everything.
        program.saveAnswer = A::Cancel;
        control<QPushButton>(window, "NewListButton")->click();
        control<QPushButton>(window, "BitBtn1")->click();
        EXPECT_FALSE(window.close());
        EXPECT_EQ(program.prompts, 3);
        EXPECT_EQ(window.pages().PageCount(), 3);
        // Save writes the list to its file, then the window closes.
        program.saveAnswer = A::Save;
        EXPECT_TRUE(window.close());
        EXPECT_EQ(program.prompts, 4);
        window.show();
        EXPECT_EQ(readBytes(list).count("\r\n"), 18);
        // Discard drops the edits: NEW LIST gives one blank page.
        program.addPages(1);
        program.saveAnswer = A::Discard;
        window.newList();
        EXPECT_EQ(program.prompts, 5);
        EXPECT_EQ(window.pages().PageCount(), 1);
        EXPECT_FALSE(window.listModified());
        EXPECT_TRUE(window.listPath().isEmpty());
    }
    // The next start reopens the list last saved, with page 1 selected.
    EXPECT_EQ(readPreference(dir.path(), "list"), QFileInfo(list).absoluteFilePath());
    Program again(dir.path());
    again.window.reopenLastList();
    EXPECT_EQ(again.window.pages().PageCount(), 3);
    EXPECT_EQ(again.window.pages().currentTab(), 0);
    EXPECT_TRUE(control<QSpinBox>(again.window, "Edit2")->isEnabled());
    EXPECT_FALSE(again.window.listModified());
    QFile::remove(list);  // gone: the next start begins with a blank page
    Program third(dir.path());
    third.window.reopenLastList();
    EXPECT_EQ(third.window.pages().PageCount(), 1);
    EXPECT_TRUE(third.messages.isEmpty());
}

TEST(PageListEditing, ComposingTwiceKeepsBothSetsOfPictures) {
    QTemporaryDir dir;
    Program program(dir.path());
    TForm3& form3 = program.form3;
    const PageList& pages = program.window.pages();
    const auto compose = [&](const char* name, const QByteArray& text) {
        ASSERT_TRUE(writeBytes(dir.filePath(name), text));
        QTimer::singleShot(0, &form3, [&] { control<QPushButton>(form3, "Button2")->click(); });
        program.window.loadFile(dir.filePath(name));
    };
    const auto picture = [&](int k) {
        return loadPicture(dir.filePath(pages.item(k).FileName)).image;
    };
    compose("first.txt", "AAAAAAAAAAAAAAAA\n");  // two screens of text
    ASSERT_EQ(pages.PageCount(), 2);
    const QImage first[] = {picture(1), picture(2)};
    compose("second.txt", "BBBBBBBBBBBBBBBB\n");
    // The first new page takes the last page's place, as always; the files
    // of the first text stay as they were.
    ASSERT_EQ(pages.PageCount(), 3);
    EXPECT_EQ(pages.item(1).FileName, "LCTXT1.bmp");
    EXPECT_EQ(pages.item(2).FileName, "LCTXT3.bmp");
    EXPECT_EQ(pages.item(3).FileName, "LCTXT4.bmp");
    EXPECT_EQ(picture(1), first[0]);
    EXPECT_NE(picture(2), first[1]);
    EXPECT_EQ(loadPicture(dir.filePath("LCTXT2.bmp")).image, first[1]);
    // So undo brings the replaced page back whole.
    program.window.history()->stack()->undo();
    EXPECT_EQ(pages.item(2).FileName, "LCTXT2.bmp");
    EXPECT_EQ(picture(2), first[1]);

    // The names are chosen past any file a page shows, full paths included.
    const QString folder = dir.path();
    const QStringList taken = {QDir::cleanPath(folder + "/LC1.bmp"),
                               QDir::cleanPath(folder + "/LC3.bmp")};
    const std::pair<int, int> rows[] = {{1, 2}, {2, 4}, {3, 4}};
    for (const auto& [n, expected] : rows) {
        EXPECT_EQ(firstFreeNumber(folder, "LC", n, taken), expected) << n;
    }
    EXPECT_EQ(firstFreeNumber(folder, "LC", 1, {}), 1);

    // marquee-cli compose --list numbers on past the list's pictures the same way.
    QTemporaryDir cli;
    ASSERT_TRUE(writeBytes(cli.filePath("a.txt"), "AAAAAAAAAAAAAAAA\n"));
    const QStringList command = {"--folder", cli.path(),
                                 "compose",  cli.filePath("a.txt"),
                                 "--list",   cli.filePath("show.lis")};
    EXPECT_EQ(runCli(command).outLines(), (QStringList{"LCTXT1.bmp", "LCTXT2.bmp"}));
    EXPECT_EQ(runCli(command).outLines(), (QStringList{"LCTXT3.bmp", "LCTXT4.bmp"}));
}

TEST(PageListEditing, MenusReachTheirCommandsAndSayWhatIsMissing) {
    QTemporaryDir dir;
    QTemporaryDir emptyBin;
    Program program(dir.path());
    Overview overview(program);
    TTwpMain& window = program.window;
    // Without a paint program or an editor, PICTURE and EDIT say which
    // package brings one.
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(emptyBin.path()));
    window.findChild<QAction*>("m_EditBmp")->trigger();
    window.findChild<QAction*>("m_EditTxt")->trigger();
    qputenv("PATH", oldPath);
    ASSERT_EQ(program.messages.size(), 2);
    EXPECT_TRUE(program.messages[0].contains("sudo apt install kolourpaint"));
    EXPECT_TRUE(program.messages[1].contains("sudo apt install mousepad"));

    // Alt + the letter each tool button shows reaches its action.
    const std::pair<const char*, Qt::Key> accelerators[] = {
        {"m_Send", Qt::Key_S},      {"m_EditTxt", Qt::Key_E}, {"m_EditBmp", Qt::Key_P},
        {"m_Help", Qt::Key_T},      {"m_Exit", Qt::Key_M},    {"ToolButton1", Qt::Key_L},
        {"ToolButton2", Qt::Key_U},
    };
    for (const auto& [name, key] : accelerators) {
        QAction* action = control<QAction>(window, name);
        QObject::disconnect(action, &QAction::triggered, &window, nullptr);
        QSignalSpy spy(action, &QAction::triggered);
        overview.key(&window, key, Qt::AltModifier);
        EXPECT_EQ(spy.count(), 1) << name;
    }

    // LOADFILE offers and takes every kind it can load.
    const QString filter = loadFileFilter();
    const std::pair<const char*, LoadFileKind> kinds[] = {
        {"a.BMP", LoadFileKind::Picture},      {"a.jpeg", LoadFileKind::Picture},
        {"a.png", LoadFileKind::Picture},      {"a.txt", LoadFileKind::Text},
        {"a.doc", LoadFileKind::Document},     {"a.DOCX", LoadFileKind::Document},
        {"a.odt", LoadFileKind::Document},     {"a.xls", LoadFileKind::Spreadsheet},
        {"a.xlsx", LoadFileKind::Spreadsheet}, {"a.ods", LoadFileKind::Spreadsheet},
        {"a.pdf", LoadFileKind::Other},
    };
    for (const auto& [file, kind] : kinds) {
        EXPECT_EQ(loadFileKind(file), kind) << file;
        const QString pattern = "*." + QFileInfo(file).suffix().toLower();
        EXPECT_EQ(filter.section(";;", 0, 0).contains(pattern + ' '), kind != LoadFileKind::Other)
            << file;
    }
}

}  // namespace

namespace {

TEST(PageListEditing, PicturesFitStretchCropOrInvertBeforeThePageIsMade) {
    // A 2:1 picture, white left half and red right half, on an 8 x 8 sign.
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int x = 20; x < 40; ++x) {
        for (int y = 0; y < 20; ++y) {
            picture.setPixel(x, y, qRgb(255, 0, 0));
        }
    }
    const QSize screen(8, 8);
    // Pixels (0,0), (1,4) and (6,4) of the page.
    const std::tuple<FitMode, bool, QRgb, QRgb, QRgb> rows[] = {
        {FitMode::Stretch, false, qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 0, 0)},
        {FitMode::Fit, false, qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(255, 0, 0)},
        {FitMode::Crop, false, qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 0, 0)},
        {FitMode::Fit, true, qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(0, 255, 255)},
    };
    for (const auto& [mode, invert, corner, left, right] : rows) {
        SCOPED_TRACE(testing::Message() << int(mode) << invert);
        const QImage page = fitPicture(picture, screen, {mode, invert});
        EXPECT_EQ(page.pixel(0, 0), corner);
        EXPECT_EQ(page.pixel(1, 4), left);
        EXPECT_EQ(page.pixel(6, 4), right);
    }
    // Crop keeps the middle: columns 10..29 of the picture, half each colour.
    EXPECT_EQ(fitPicture(picture, screen, {FitMode::Crop, false}).pixel(3, 0), qRgb(255, 255, 255));
    // The importers keep their own placement when stretching, inverted if asked.
    QImage described(screen, QImage::Format_RGB32);
    described.fill(Qt::black);
    EXPECT_EQ(withFitOptions(described, picture, screen, {}).pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(withFitOptions(described, picture, screen, {FitMode::Stretch, true}).pixel(0, 0),
              qRgb(255, 255, 255));

    // LOADFILE: the default takes the picture itself; another fit writes a
    // copy beside the pages and the original stays as it was.
    QTemporaryDir dir;
    Program program(dir.path());
    const QString original = dir.filePath("shop.png");
    ASSERT_TRUE(picture.save(original));
    const QByteArray before = readBytes(original);
    program.window.loadPictureFitted(original, {});
    EXPECT_EQ(program.window.pages().item(1).FileName, original);
    program.window.loadPictureFitted(original, {FitMode::Fit, false});
    program.addPages(1);
    program.window.loadPictureFitted(original, {FitMode::Crop, true});
    EXPECT_EQ(QFileInfo(program.window.pages().item(1).FileName).fileName(), "shop-fit1.bmp");
    EXPECT_EQ(QFileInfo(program.window.pages().item(2).FileName).fileName(), "shop-fit2.bmp");
    EXPECT_EQ(loadPicture(dir.filePath("shop-fit1.bmp")).image.size(), QSize(64, 16));
    EXPECT_EQ(readBytes(original), before);

    // The dialog's sign view follows the choice.
    PictureImportDialog dialog(picture, Settings{});
    const QImage stretched = dialog.shownLeds();
    control<QComboBox>(dialog, "FitMode")->setCurrentIndex(1);
    EXPECT_NE(dialog.shownLeds(), stretched);
    EXPECT_EQ(dialog.options().mode, FitMode::Fit);
}

}  // namespace

namespace {

TEST(PageListEditing, LegacyEncodedTextsAreDetectedComposedAndChosen) {
    const QString simplified = QString::fromUtf8("今日特价\n全场八折优惠");
    const QString traditional = QString::fromUtf8("今日特價\n全場八折優惠");
    const std::tuple<QString, const char*, TextEncoding> rows[] = {
        {simplified, "GB18030", TextEncoding::Gb18030},
        {traditional, "Big5", TextEncoding::Big5},
        {traditional, "GB18030", TextEncoding::Gb18030},
        {QString::fromUtf8("Café crème 5€"), "UTF-8", TextEncoding::Utf8},
        {QString::fromUtf8("Café crème"), "ISO-8859-1", TextEncoding::Latin1},
    };
    for (const auto& [text, set, expected] : rows) {
        SCOPED_TRACE(set);
        const QByteArray bytes = QStringEncoder(set).encode(text);
        EXPECT_EQ(detectEncoding(bytes), expected);
        EXPECT_EQ(decodeText(bytes), text);
    }

    // A GBK file composed through the window makes the pages of its text.
    QTemporaryDir dir;
    Program program(dir.path());
    TForm3& form3 = program.form3;
    const QString path = dir.filePath("gbk.txt");
    ASSERT_TRUE(writeBytes(path, QStringEncoder("GB18030").encode(simplified)));
    QTimer::singleShot(0, &form3, [&] { control<QPushButton>(form3, "Button4")->click(); });
    program.window.loadFile(path);
    ComposeOptions options = form3.options(TextLayout::ManyLine);
    const TextComposition composition(simplified, {64, 16}, options);
    ASSERT_EQ(program.window.pages().PageCount(), composition.pageCount());
    for (int i = 1; i <= composition.pageCount(); ++i) {
        EXPECT_EQ(loadPicture(dir.filePath(program.window.pages().item(i).FileName))
                      .image.convertToFormat(QImage::Format_RGB32),
                  composition.page(i))
            << i;
    }

    // The chooser decodes the file again; the size is chosen in pixels.
    ASSERT_TRUE(form3.prepare(path));
    QComboBox* encoding = control<QComboBox>(form3, "Encoding");
    EXPECT_EQ(encoding->currentText(), "auto: GB18030 (GBK)");
    QTextEdit* memo = control<QTextEdit>(form3, "Memo1");
    const std::pair<int, QString> choices[] = {
        {4, QString::fromLatin1(QStringEncoder("GB18030").encode(simplified))}, {2, simplified}};
    for (const auto& [index, shown] : choices) {
        encoding->setCurrentIndex(index);
        emit encoding->activated(index);
        EXPECT_EQ(memo->toPlainText(), shown);
    }
    control<QSpinBox>(form3, "FontPixels")->setValue(24);
    EXPECT_EQ(form3.textFont().pixelSize(), 24);
    EXPECT_TRUE(control<QLabel>(form3, "FontPoints")->text().endsWith(" pt"));
}

}  // namespace
