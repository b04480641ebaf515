#pragma once

#include "controller/ControllerRecord.h"
#include "core/OperatorSurface.h"
#include "core/ProgramFolder.h"
#include "core/TransferLog.h"

#include <QString>
#include <QStringList>

#include <cstdio>

// Exit status of marquee-cli: 0 done (the controller acknowledged); 1 no
// reply or a wrong reply; 2 bad usage or bad input (nothing was sent, or a
// page found unusable stopped the transfer); 3 the port could not be
// opened, or failed during the write (the reason is printed); 4 cancelled
// by Ctrl-C.
enum ExitStatus {
    kExitOk = 0,
    kExitNoReply = 1,
    kExitBadInput = 2,
    kExitPortError = 3,
    kExitCancelled = 4
};

// Status texts go to standard output, one a line, as the window would show
// them; message-box texts go to standard error. Progress by bytes and the
// wait for the controller go to standard error when it is a terminal (one
// line redrawn) or when asked for (one line each). While it exists, Ctrl-C
// asks the command to stop at the next frame boundary; a second Ctrl-C
// ends the program at once.
class ConsoleSurface : public OperatorSurface {
  public:
    // statusStream: stdout, or stderr when standard output carries JSON.
    explicit ConsoleSurface(FILE* statusStream = stdout);
    ~ConsoleSurface() override;
    ConsoleSurface(const ConsoleSurface&) = delete;
    ConsoleSurface& operator=(const ConsoleSurface&) = delete;

    void setStatus(int panel, const QString& text) override;
    void message(const QString& text, const QString& caption = QString()) override;
    void note(const QString& text) override { message(text); }
    void lineProgress(qint64 sent, qint64 total, qint64 msLeft) override;
    void awaitingReply(int timeoutMs) override;
    bool cancelRequested() const override;

  private:
    void endProgressLine();
    FILE* m_statusStream;
    bool m_terminal;
    bool m_progressShown = false;
};

// --progress: progress lines on standard error even when it is no terminal.
void setProgressLines(bool on);

// Writes a line to standard error.
void printError(const QString& text);

// Where a command works: the folders, and what the command line adds.
struct CliContext {
    CliContext(const Folders& folders) : folders(folders) {}  // NOLINT: implicit
    Folders folders;
    QString port;       // --port PATH: this port instead of the chosen one or comN
    bool json = false;  // --json: the result as JSON on standard output
    QStringList signs;  // --sign NAME ..: these signs of the sign book
    bool allSigns = false;
    bool changed = false;       // send only the changed pages
    bool full = false;          // send every page, whatever the sign book says
    ControllerRecords records;  // what each controller holds
};

// Whether progress lines are wanted on standard error (a terminal, or --progress).
bool progressWanted();

// Helpers the command runners share.
struct ExchangeResult;
class PageList;
struct SendReview;
struct Settings;
// Writes a line to stream.
void writeLine(FILE* stream, const QString& text);
// ck.ini as the window reads it at start-up (a bad value is reported), with
// the port of --port.
Settings loadSettings(const CliContext& context);
// Loads a play list, printing what went wrong.
bool loadList(const QString& listPath, PageList* pages);
// Keeps settings in ck.ini, printing why when it cannot.
void storeSettings(const CliContext& context, const Settings& settings);
// Prints the findings before SEND or MODE; false when one leaves nothing to send.
bool reviewed(const SendReview& review, int baud);
// The exit status an exchange gives.
int exchangeStatus(const ExchangeResult& result);
// Adds a command's line to the transfer log the window writes too (in the
// folder of --folder, else in the user's data folder); says on standard
// error why when it cannot.
void logTransfer(const CliContext& context, const CommandRecord& record);

// The commands; args are what follows the command word, with paths already
// absolute.
int runSettings(const CliContext& context);
int runSend(const CliContext& context, const QString& listPath);
int runBuild(const CliContext& context, const QString& listPath, const QString& outPath);
int runTime(const CliContext& context);
int runMode(const CliContext& context, const QString& listPath);
int runReadPara(const CliContext& context);
int runSavePara(const CliContext& context, const QStringList& assignments);
int runDownload(const CliContext& context, const QString& typeText);
// ports [--use PATH|none]: lists the serial ports; --use keeps one as the
// port of every command (none: back to "com" + COMM).
int runPorts(const CliContext& context, const QString& use);
