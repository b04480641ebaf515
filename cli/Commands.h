#pragma once

#include "core/OperatorSurface.h"

#include <QString>
#include <QStringList>

// Exit status of marquee-cli: 0 done (the controller acknowledged); 1 no
// reply or a wrong reply; 2 bad usage or bad input (nothing was sent); 3 the
// port could not be opened.
enum ExitStatus { kExitOk = 0, kExitNoReply = 1, kExitBadInput = 2, kExitPortError = 3 };

// Status texts go to standard output, one a line, as the window would show
// them; message-box texts go to standard error.
class ConsoleSurface : public OperatorSurface {
  public:
    void setStatus(int panel, const QString& text) override;
    void message(const QString& text, const QString& caption = QString()) override;
};

// Writes a line to standard error.
void printError(const QString& text);

// The commands; args are what follows the command word, with paths already
// absolute. folder is the program folder.
int runSettings(const QString& folder);
int runSend(const QString& folder, const QString& listPath);
int runBuild(const QString& folder, const QString& listPath, const QString& outPath);
int runTime(const QString& folder);
int runMode(const QString& folder, const QString& listPath);
int runReadPara(const QString& folder);
int runSavePara(const QString& folder, const QStringList& assignments);
int runDownload(const QString& folder, const QString& typeText);
