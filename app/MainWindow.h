#pragma once

#include "app/Layout.h"
#include "controller/ControllerRecord.h"
#include "core/OperatorSurface.h"
#include "core/ProgramFolder.h"
#include "core/Settings.h"
#include "core/SignBook.h"
#include "import/PictureImport.h"
#include "pages/PageList.h"
#include "transfer/PagePipeline.h"

#include <QMainWindow>

#include <functional>

class QAction;
class QComboBox;
class SignRunDialog;
class QProgressBar;
class QRadioButton;
class QTimer;
class CommandRunner;
class PageHistory;
class PageOverview;
class PagePanel;
class PagePreview;
class TransferLogDock;
class VirtualSignLauncher;
struct SendReview;
class PreviewStage;
class SettingsRow;
class SignViewBar;
class StatusArea;
class TForm1;
class TForm2;
class TForm3;
class TForm5;

// The dialog that lists the findings before SEND or MODE; "Send anyway"
// when sending is possible. True when the operator sends.
bool confirmSendWithDialog(QWidget* parent, const QString& findings, bool canSend);

// The main window: a thin frame around the settings row, the preview stage
// (with the page panel and tabs), the status area and the toolbar. Its
// handlers read the controls, call the core and show what the core reports.
class TTwpMain : public QMainWindow, public OperatorSurface {
    Q_OBJECT
  public:
    using MessageFn = std::function<void(const QString& text, const QString& caption)>;
    // Shows what was found before a transfer (with its estimate) and returns
    // whether the operator sends anyway; canSend false offers no sending.
    using ConfirmFn = std::function<bool(const QString& findings, bool canSend)>;
    // For a sign set to send changes only: shown both estimates, the
    // operator sends the changed pages, every page, or nothing.
    enum class SendScope { Changes, All, Cancel };
    using ScopeChoiceFn = std::function<SendScope(const QString& estimates)>;
    // Asked before an unsaved list would be dropped (close, LOADLIST, NEW LIST).
    enum class SaveAnswer { Save, Discard, Cancel };
    using SavePromptFn = std::function<SaveAnswer()>;

    // folders: where ck.ini and the chosen port live, and the sign folder
    // (pages, lists, port links). showMessage shows a modal message (a
    // message box unless given; tests record the texts).
    explicit TTwpMain(const Folders& folders, MessageFn showMessage = {},
                      QWidget* parent = nullptr);
    // Waits for a running command (asked to stop) before anything goes.
    ~TTwpMain() override;

    // The dialogs, created after the main window, in this order.
    void attachDialogs(TForm1* form1, TForm2* form2, TForm3* form3, TForm5* form5);

    // The ten settings as the controls hold them now.
    Settings settings() const;
    void setSettings(const Settings& settings);

    const PageList& pages() const { return m_pages; }
    const MainLayout& currentLayout() const;
    // What the preview surface shows now, one pixel a LED (it draws them
    // zoomed).
    QImage previewShown() const;

    // The commands behind the file dialogs, for a chosen file.
    void loadFile(const QString& path);  // LOADFILE
    // LOADFILE of a picture with the picture dialog's options: other than
    // the default, a fitted copy is written to the sign folder for the page.
    void loadPictureFitted(const QString& path, const FitOptions& options);
    bool saveListTo(const QString& path);    // SAVE LIST; false when it failed (said why)
    void loadListFrom(const QString& path);  // LOADLIST
    // A list given when the program starts: loaded, then page 1 shown.
    void openListAtStart(const QString& path);
    // At start without a list named: the list last saved or loaded, if it
    // is still there.
    void reopenLastList();
    // NEW LIST: one blank page, after the save prompt.
    void newList();
    // Whether the list has edits that are not saved; the list file it was
    // last saved to or loaded from (empty: none yet).
    bool listModified() const;
    const QString& listPath() const { return m_listPath; }
    PageHistory* history() const { return m_history; }
    // Replaces the save prompt (a message box with Save, Discard, Cancel).
    void setSavePrompt(SavePromptFn prompt) { m_savePrompt = std::move(prompt); }
    // "Open sign folder…" for a chosen folder: pages, lists and port links
    // are taken from there from now on, and the choice is kept.
    void openSignFolder(const QString& folder);
    const QString& signFolder() const { return m_folder; }

    // Whether a controller command runs now; waiting spins the event loop
    // until it has ended and reported.
    bool commandRunning() const;
    void waitForCommand();
    // The pages prepared in the background for the next SEND, and whether
    // the list as it is now has been prepared whole.
    const PreparedPages& preparedPages() const { return m_prepared; }
    bool pagesPrepared() const { return m_preparation.finished(); }
    // The sign book; the settings row shows its selected sign.
    const SignBook& signBook() const { return m_book; }
    // "SIGNS…" with the book edited in the dialog: kept, and the row shows
    // the selected sign.
    void replaceSignBook(const SignBook& book);
    // "TO SIGNS…": the dialog that serves several signs (not modal).
    SignRunDialog* openSignRun();
    // Replaces the dialog that shows what was found before a transfer.
    void setConfirmation(ConfirmFn confirm) { m_confirm = std::move(confirm); }
    void setScopeChoice(ScopeChoiceFn choose) { m_chooseScope = std::move(choose); }
    // Where the records of what each controller holds are kept.
    const ControllerRecords& controllerRecords() const { return m_records; }

    // OperatorSurface
    void setStatus(int panel, const QString& text) override;
    void repaintNow() override;
    void message(const QString& text, const QString& caption = QString()) override;
    void note(const QString& text) override;
    void preparingPage(int page, const QImage& image) override;
    void progress(int value, int maximum) override;
    void lineProgress(qint64 sent, qint64 total, qint64 msLeft) override;
    void awaitingReply(int timeoutMs) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void createToolbar();
    void creationStep();
    void attachFolder();  // the sign folder to the dialogs and the preview

    // Handlers
    void AddFileClick();
    void ToolButton1Click();  // SAVE LIST
    void BitBtn1Click();      // LOADLIST
    void AddMuClick();
    void DelMuClick();
    void TabClick(int tab);
    void m_SendClick();
    void setClockClicked();     // TIME (m_Help)
    void sendModesClicked();    // MODE (m_Exit)
    void virtualSignClicked();  // "Virtual sign"
    void BitBtn2Click();        // READ PARA
    void saveParameters();      // TForm5 "save parameter"
    void downloadSetupImage();  // TForm5 "Download"
    void m_EditBmpClick();
    void m_EditTxtClick();
    void ToolButton2Click();  // SETUP
    void DispPlayClick();
    void DispPlayDblClick();

    // The sign book: read at start (ck.ini is the selected sign's settings),
    // the row's settings kept in the selected sign, written to signs.json.
    void loadSignBook(const Settings& current);
    void storeRowInBook();
    void keepSignBook();
    void chooseSign(int index);
    void editSignBook();
    void showSignChoice();

    // While a command runs, no control that could start or change one
    // takes input.
    void commandRunningChanged(bool running);
    // Whether a TO SIGNS run is serving the window's port now.
    bool portInUse() const;
    // The commands that use the port, enabled when it is free.
    void showPortCommands();
    // The findings before SEND or MODE: true to go on.
    bool reviewed(const SendReview& review, int baud);

    // After a change of the list or of a setting that changes page bytes:
    // the pages are prepared again once the changes have settled.
    void schedulePreparation();
    void preparePages();

    // The page list after a change, with the current page drawn scaled: a
    // change of the pages is recorded as one step named step for undo.
    void showPagesAndPreview(const QString& step = QString());
    // Undo or redo has put the list back.
    void showRestoredList();
    void createPageOverview();
    // Before the list is dropped: true when it may go (saved, discarded or
    // unchanged), false when the operator cancelled or the save failed.
    bool mayDropList();
    void updateTitle();
    QString currentPageFile() const;

    static constexpr int kProgressMaximum = 100000;

    Folders m_folders;
    QString m_folder;  // the sign folder
    MessageFn showMessage;
    PageList m_pages;
    PageHistory* m_history;
    QString m_listPath;
    SavePromptFn m_savePrompt;
    bool m_lineProgress = false;  // the progress bar counts bytes on the line
    ConfirmFn m_confirm;
    ScopeChoiceFn m_chooseScope;
    ControllerRecords m_records;
    PreparedPages m_prepared;
    BackgroundPreparation m_preparation{m_prepared};
    QTimer* m_prepareTimer;
    CommandRunner* m_commands;
    TransferLogDock* m_log;

    TForm1* m_form1 = nullptr;
    TForm2* m_form2 = nullptr;
    TForm3* m_form3 = nullptr;
    TForm5* m_form5 = nullptr;

    QAction* m_Send;
    QAction* m_EditTxt;
    QAction* m_EditBmp;
    QAction* m_Help;  // TIME
    QAction* m_Exit;  // MODE
    QAction* ToolButton1;
    QAction* ToolButton2;
    QAction* m_OpenFolder;   // "Open sign folder…"
    QAction* m_VirtualSign;  // "Virtual sign"
    VirtualSignLauncher* m_virtualSign = nullptr;
    QString m_portBeforeVirtualSign;  // chosen again when the virtual sign ends
    QAction* m_SignBook;              // "SIGNS…"
    QAction* m_ToSigns;               // "TO SIGNS…"
    QStringList m_portsInUse;         // the ports a TO SIGNS run is serving
    QComboBox* m_signChooser;
    SignBook m_book;
    bool m_bookKept = false;  // signs.json is written (it was there, or the book was used)
    QRadioButton* Ra1;
    QRadioButton* Ra2;
    SettingsRow* m_settingsRow;
    PagePanel* m_pagePanel;
    PageOverview* m_overview;
    QAction* m_undo;
    QAction* m_redo;
    QProgressBar* PBar;
    PreviewStage* m_stage;
    SignViewBar* m_signBar;
    PagePreview* m_preview;
    StatusArea* m_status;
};

// The dialog that offers the changed pages or every page, with both estimates.
TTwpMain::SendScope chooseSendScope(QWidget* parent, const QString& estimates);
