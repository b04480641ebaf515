#include "app/PictureImportDialog.h"
#include "app/SignBookDialog.h"
#include "app/SignRunDialog.h"
#include "app/Translations.h"
#include "tests/ProgramSupport.h"

#include <QDockWidget>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTranslator>

namespace {

// Every text the widgets under root show, in their order: captions, button
// and check box texts, group titles, list entries, tab captions, table
// headings, actions, window titles and tool tips.
void collectTexts(QWidget& root, QStringList& texts) {
    QList<QObject*> objects{&root};
    for (QObject* child : root.findChildren<QObject*>()) {
        objects << child;
    }
    for (QObject* object : objects) {
        if (auto* widget = qobject_cast<QWidget*>(object)) {
            texts << widget->toolTip();
            if (widget->isWindow() || qobject_cast<QDockWidget*>(widget)) {
                texts << widget->windowTitle();
            }
        }
        if (auto* label = qobject_cast<QLabel*>(object)) {
            texts << label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
            texts << button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
            texts << group->title();
        } else if (auto* list = qobject_cast<QComboBox*>(object)) {
            for (int i = 0; i < list->count(); ++i) {
                texts << list->itemText(i);
            }
        } else if (auto* tabs = qobject_cast<QTabBar*>(object)) {
            for (int i = 0; i < tabs->count(); ++i) {
                texts << tabs->tabText(i);
            }
        } else if (auto* table = qobject_cast<QTableWidget*>(object)) {
            for (int c = 0; c < table->columnCount(); ++c) {
                if (QTableWidgetItem* heading = table->horizontalHeaderItem(c)) {
                    texts << heading->text() << heading->toolTip();
                }
            }
        } else if (auto* action = qobject_cast<QAction*>(object)) {
            texts << action->text() << action->toolTip();
        }
    }
}

QStringList programTexts(const QString& folder) {
    Program program(folder);
    QStringList texts;
    for (QWidget* window : std::initializer_list<QWidget*>{
             &program.window, &program.form1, &program.form2, &program.form3, &program.form5}) {
        collectTexts(*window, texts);
    }
    PictureImportDialog picture(QImage(8, 8, QImage::Format_RGB32), program.window.settings());
    collectTexts(picture, texts);
    SignBookDialog book(program.window.signBook(), &program.window);
    collectTexts(book, texts);
    SignRunDialog run(program.window.signBook(), folder, program.window.pages(), QString(),
                      &program.window);
    collectTexts(run, texts);
    return texts;
}

TEST(Translation, ChineseLeavesNoEnglishInTheWindowAndItsDialogs) {
    QTemporaryDir dir;
    const QStringList english = programTexts(dir.path());
    ASSERT_TRUE(installTranslations(QLocale(QLocale::Chinese, QLocale::China),
                                    {QStringLiteral(MARQUEE_BUILD_DIR "/translations")}));
    const QStringList chinese = programTexts(dir.path());
    // Back to English for the other tests.
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    ASSERT_EQ(chinese.size(), english.size());

    // Kept as they are in both languages: names of character sets, the
    // controller's own option "ABCD", the program's name with its folder,
    // paths and serial devices, numbers.
    const QRegularExpression verbatim(QStringLiteral(
        "^(|UTF-8|GB18030 \\(GBK\\)|Big5|Latin-1|ABCD|Marquee — .*|/.*|tty.*|[^A-Za-z]*)$"));
    QStringList untranslated;
    for (int i = 0; i < english.size(); ++i) {
        if (english[i] == chinese[i] && !verbatim.match(english[i]).hasMatch()) {
            untranslated << english[i];
        }
    }
    untranslated.removeDuplicates();
    EXPECT_TRUE(untranslated.isEmpty()) << untranslated.join(" | ").toStdString();
    EXPECT_TRUE(chinese.contains(QString::fromUtf8("发送(&S)")));
    EXPECT_TRUE(chinese.contains(QString::fromUtf8("T0 — 双基色，不折")));
    EXPECT_TRUE(english.contains("T0 — dual colour, no fold"));
    EXPECT_TRUE(english.contains("25 — wipe from the top-left corner"));
}

}  // namespace
