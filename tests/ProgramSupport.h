#pragma once

#include "app/DocumentImportDialog.h"
#include "app/MainWindow.h"
#include "app/ParameterDialog.h"
#include "app/SpreadsheetImportDialog.h"
#include "app/TextComposerDialog.h"
#include "tests/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

// The child of parent with this object name and type.
template <typename T>
T* control(QObject& parent, const char* name) {
    T* widget = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// The window as a person starts it: the main window, then the four dialogs
// in their order. Messages are recorded instead of shown; the save prompt
// counts its questions and gives saveAnswer.
struct Program {
    explicit Program(const QString& folder)
        : window(folder, [this](const QString& text, const QString&) { messages << text; }),
          form1(&window),
          form2(&window),
          form3(window.settings().HEIGHT, &window),
          form5(&window) {
        window.setSavePrompt([this] {
            ++prompts;
            return saveAnswer;
        });
        window.attachDialogs(&form1, &form2, &form3, &form5);
        for (OfficeImportDialog* office :
             {static_cast<OfficeImportDialog*>(&form1), static_cast<OfficeImportDialog*>(&form2)}) {
            office->setPageConfirmation([this](const QList<QImage>& made) {
                offered << int(made.size());
                return placeImported;
            });
        }
        window.resize(1000, 700);
        window.show();
        QCoreApplication::processEvents();
    }
    // LOADFILE of path; CHANGE is pressed in the dialog that opens.
    template <typename Dialog>
    void loadAndChange(Dialog& dialog, const QString& path) {
        QTimer::singleShot(0, &dialog, [&dialog] {
            dialog.template findChild<QPushButton*>(QStringLiteral("Button1"))->click();
            if (dialog.isVisible()) {
                dialog.reject();
            }
        });
        window.loadFile(path);
    }
    void addPages(int n) {
        for (int i = 0; i < n; ++i) {
            window.findChild<QPushButton*>(QStringLiteral("AddMu"))->click();
        }
    }
    QStringList tabs() {
        QTabBar* bar = window.findChild<QTabBar*>(QStringLiteral("Tab"));
        QStringList texts;
        for (int i = 0; i < bar->count(); ++i) {
            texts << bar->tabText(i);
        }
        return texts;
    }
    QStringList messages;
    int prompts = 0;
    // The office imports' pages: how many each CHANGE offered, and whether
    // they are placed.
    QList<int> offered;
    bool placeImported = true;
    TTwpMain::SaveAnswer saveAnswer = TTwpMain::SaveAnswer::Discard;
    TTwpMain window;
    TForm1 form1;
    TForm2 form2;
    TForm3 form3;
    TForm5 form5;
};
