#pragma once

#include "core/Settings.h"
#include "import/TextComposer.h"
#include "pages/PageList.h"

#include <QDialog>

#include <functional>

class ComposerSignView;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTextEdit;
class QTimer;

// What the text composer gets from the main window once at start-up.
struct ComposerContext {
    QString folder;                               // the program folder: pages are written here
    std::function<Settings()> settings;           // WIDTH and HEIGHT, read at the moment of use
    PageList* pages = nullptr;                    // the list the pages go into
    std::function<void()> pagesChanged;           // the window mirrors the list and its preview
    std::function<void(const QString&)> message;  // a modal message
};

// TForm3, "TXT EDIT", the text page composer. Created once at start-up,
// after the main window has read ck.ini, and shown modally by LOADFILE for a
// ".txt" file. Its controls keep their values for the whole run.
class TForm3 : public QDialog {
    Q_OBJECT
  public:
    // height: HEIGHT as the main window has just read it. LINE/PAGE starts
    // at height div the font's pixel height (at least 1) and later HEIGHT
    // changes leave it alone.
    explicit TForm3(int height, QWidget* parent = nullptr);

    void attach(ComposerContext context);

    // Open: sizes the memo for WIDTH, loads the file, sizes and centres the
    // dialog and shows it modally. Returns false, after reporting why, when
    // the file cannot be read (the dialog does not open then).
    bool Open(const QString& path);
    // Open without showing the dialog.
    bool prepare(const QString& path);

    // The chosen font (a pixel size, no anti-aliasing) and its colour.
    QFont textFont() const { return m_font; }
    QColor textColour() const { return m_colour; }
    // What OK in the font chooser does: the memo takes the font and re-wraps.
    void setTextFont(const QFont& font, const QColor& colour);
    // The options the controls hold now for a CHANGE of the given group.
    ComposeOptions options(TextLayout layout) const;

    // The sign view below the text: the pages a CHANGE would write now. It
    // follows every edit after a short pause; this brings it up to date at once.
    void refreshSignView();
    ComposerSignView* signView() const { return m_signView; }

  private:
    QGroupBox* createOneLineGroup();
    QGroupBox* createManyLineGroup();
    QGroupBox* createFontGroup();
    QSize signScreen() const;
    void message(const QString& text);
    void applyWordWrap(bool on);
    void change(TextLayout layout);
    void watchForSignView();
    void showFontSize();

    // Handlers
    void Button1Click();    // FONT
    void Button2Click();    // ONE LINE CHANGE
    void Button4Click();    // MANY LINE CHANGE
    void CheckBox3Click();  // WORDWRAP

    ComposerContext m_context;
    QFont m_font;
    QColor m_colour;

    QTextEdit* Memo1;
    // ONE LINE
    QGroupBox* GroupBox1;
    QLineEdit* Edit1;      // FILENAME
    QCheckBox* CheckBox1;  // CONTINUE
    QPushButton* Button2;  // CHANGE
    // MANY LINE
    QGroupBox* GroupBox2;
    QLineEdit* Edit3;      // FILENAME
    QSpinBox* Edit4;       // LINE/PAGE with its arrows (UpDown1)
    QCheckBox* CheckBox2;  // CENTER
    QCheckBox* CheckBox3;  // WORDWRAP
    QPushButton* Button4;  // CHANGE
    // FONT SETUP
    QGroupBox* GroupBox3;
    QPushButton* Button1;  // FONT
    QComboBox* ComboBox1;  // SHADOW
    QComboBox* ComboBox2;  // BACK GROUND
    QSpinBox* m_pixels;    // the font's size in pixels
    QLabel* m_points;      // the same in points
    QComboBox* m_encoding;
    QByteArray m_bytes;  // the text file as read

    ComposerSignView* m_signView;
    QTimer* m_signTimer;
};
