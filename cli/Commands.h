#pragma once

#include "core/OperatorSurface.h"
#include "core/ProgramFolder.h"

#include <QString>
#include <QStringList>

#include <cstdio>

// Exit status of marquee-cli: 0 done (the controller acknowledged); 1 no
// reply or a wrong reply; 2 bad usage or bad input (nothing was sent); 3 the
// port could not be opened, or failed during the write (the reason is
// printed).
enum ExitStatus { kExitOk = 0, kExitNoReply = 1, kExitBadInput = 2, kExitPortError = 3 };

// Status texts go to standard output, one a line, as the window would show
// them; message-box texts go to standard error.
class ConsoleSurface : public OperatorSurface {
  public:
    // statusStream: stdout, or stderr when standard output carries JSON.
    explicit ConsoleSurface(FILE* statusStream = stdout) : m_statusStream(statusStream) {}
    void setStatus(int panel, const QString& text) override;
    void message(const QString& text, const QString& caption = QString()) override;

  private:
    FILE* m_statusStream;
};

// Writes a line to standard error.
void printError(const QString& text);

// Where a command works: the folders, and what the command line adds.
struct CliContext {
    CliContext(const Folders& folders) : folders(folders) {}  // NOLINT: implicit
    Folders folders;
    QString port;       // --port PATH: this port instead of the chosen one or comN
    bool json = false;  // --json: the result as JSON on standard output
};

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
