// marquee-cli: the commands of the window without a window, for scripts.

#include "cli/Commands.h"
#include "cli/ComposeCommand.h"
#include "cli/EmulateCommand.h"
#include "cli/ImportCommands.h"
#include "platform/Fonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: marquee-cli [--folder DIR] COMMAND [ARGS]\n"
    "\n"
    "Programs LED sign controllers over a serial line, without a window.\n"
    "\n"
    "options:\n"
    "  --folder DIR         the program folder (ck.ini, pages, port links comN);\n"
    "                       default: the folder of this executable\n"
    "  --progress           progress lines on standard error even when it is no\n"
    "                       terminal (on a terminal one line is redrawn anyway)\n"
    "  --help               show this text\n"
    "\n"
    "commands:\n"
    "  send LIST.lis        send the list's pages to the controller (SEND)\n"
    "  build LIST.lis OUT   write to OUT the exact bytes that send would write\n"
    "  mode LIST.lis        send the play table alone (MODE)\n"
    "  time                 set the controller clock from this computer's clock (TIME)\n"
    "  read-para            read the parameter block, print it, store the received\n"
    "                       NUM, TYPE, WIDTH, HEIGHT, BPS, SCAN in ck.ini (READ PARA)\n"
    "  save-para [NAME=VALUE..]  send the parameter block; store num, width, high,\n"
    "                       scan mode, data com and bps in ck.ini. Names and start\n"
    "                       values: num=1 type=0 width=64 high=16 clock=18432000\n"
    "                       bps=9600 scan=16 freq=100 light=<maximum> swap8=0\n"
    "                       datacom=1 oecom=1 autoswitch=0 translate=0 satoff=0\n"
    "                       sunoff=0 on=8:00:00 off=18:00:00 english=0\n"
    "  download TYPE        send the setup image DIR/setupTYPE of module type\n"
    "                       TYPE (0..26) and store its defaults in ck.ini\n"
    "  settings             print the ten settings as read from DIR/ck.ini\n"
    "  compose TEXT.txt [OPTIONS]  render a text into DIR/BASE1.bmp ... at WIDTH x\n"
    "                       HEIGHT, as TXT EDIT does; prints the names written\n"
    "      --layout one|many                 ONE LINE or MANY LINE (one)\n"
    "      --continue 0|1                    ONE LINE: one strip cut into screens (1)\n"
    "      --lines N --center 0|1            MANY LINE: LINE/PAGE 1..100 (HEIGHT div 16),\n"
    "                                        CENTER (0)\n"
    "      --wordwrap 0|1                    wrap lines at WIDTH (1)\n"
    "      --font FACE --size PX             the font (細明體, 16 pixels)\n"
    "      --bold 0|1 --italic 0|1           its style (0, 0)\n"
    "      --color NAME|#RRGGBB              text colour (yellow)\n"
    "      --shadow NAME --background NAME   black red green blue yellow purple\n"
    "                                        gray white (black, black)\n"
    "      --name BASE                       FILENAME (LCTXT)\n"
    "      --list OUT.lis                    place the pages in OUT.lis (loaded first\n"
    "                                        when it exists) and save it; new pages\n"
    "                                        take the default parameters\n"
    "  import-doc FILE.doc [--name BASE] [--list LIST.lis]\n"
    "                       one picture per document page through LibreOffice:\n"
    "                       DIR/BASE1.bmp ... (BASE LC); with --list they are placed\n"
    "                       in the list from its last page on and the list is saved\n"
    "  import-xls FILE.xls [--name BASE] [--list LIST.lis]\n"
    "                       cells A1:T20 of the first sheet through LibreOffice as\n"
    "                       DIR/BASE1.bmp (BASE LCXLS); with --list it becomes the\n"
    "                       last page's picture and the list is saved\n"
    "  emulate [OPTIONS]    play the controller on a pseudo-terminal linked as DIR/comN;\n"
    "                       received pages become page1.png ... and playlist.txt\n"
    "      --port N                          link DIR/comN (COMM of ck.ini)\n"
    "      --num N --type N --width N --height N --scan N --bps N\n"
    "      --datacom [0|1] --swap8 [0|1] NAME=VALUE ...\n"
    "                                        its own parameter block (save-para names;\n"
    "                                        default: DIR/emulatorN.para, else T0 defaults)\n"
    "      --rg-swap [0|1]                   its red and green lines are swapped\n"
    "      --zoom N                          N pixels a LED, round dots from 2 (1)\n"
    "      --animate                         also playlist.png, the list in motion\n"
    "                                        with approximate entry effects\n"
    "      --report-defaults                 report controller number 0xFF (defaults)\n"
    "      --strict        no acknowledgement for a transfer off its memory map\n"
    "      --no-pace       take bytes as they come instead of at the line rate\n"
    "      --processing MS answer MS after the last byte (20)\n"
    "      --out DIR       where the pictures go (default DIR)\n"
    "      --silent --wrong-reply --delay MS --extra N --noise N\n"
    "      --hang-up-after N --stop-reading-after N      misbehave\n"
    "      --once          stop after the first acknowledged command\n"
    "      --timeout SEC   stop after SEC seconds without traffic\n"
    "\n"
    "Settings come from DIR/ck.ini as the window reads them at start-up; the\n"
    "port is \"com\" + COMM: DIR/comN if present, else /dev/ttyS<N-1>.\n"
    "Status texts go to standard output, messages to standard error.\n"
    "send and mode first print on standard error what they find (pages beyond the\n"
    "controller's capacity are left out, columns beyond a multiple of 8 are cut).\n"
    "Ctrl-C stops a transfer at the next frame boundary: the controller does not\n"
    "get the end of it, and the list must be sent again.\n"
    "Exit status: 0 the controller acknowledged; 1 no reply or a wrong reply;\n"
    "2 bad usage or bad input (nothing was sent, or a page found unusable stopped\n"
    "the transfer); 3 the port could not be opened; 4 cancelled by Ctrl-C.\n"
    "Imports: 0 done; 1 done, some pages written black; 2 bad usage or a file that\n"
    "cannot be read or opened; 4 LibreOffice missing or not startable.\n";

int usageError(const QString& text) {
    printError(QStringLiteral("marquee-cli: %1").arg(text));
    printError(QString::fromLatin1(kUsage));
    return kExitBadInput;
}

}  // namespace

int main(int argc, char* argv[]) {
    // No window is ever shown: work without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt wants a private runtime folder; make one instead of warning about it.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray runtime =
            QFile::encodeName(QDir::temp().filePath(QStringLiteral("runtime-%1").arg(::getuid())));
        QDir().mkpath(QString::fromLocal8Bit(runtime));
        QFile::setPermissions(QString::fromLocal8Bit(runtime), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    installFontConfig();
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QString folder = QCoreApplication::applicationDirPath();

    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--help")) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (option == QLatin1String("--progress")) {
            setProgressLines(true);
            continue;
        }
        if (option == QLatin1String("--folder")) {
            if (args.isEmpty()) {
                return usageError(QStringLiteral("--folder needs a folder"));
            }
            folder = args.takeFirst();
            if (!QFileInfo(folder).isDir()) {
                return usageError(QStringLiteral("%1 is not a folder").arg(folder));
            }
            folder = QFileInfo(folder).absoluteFilePath();
            continue;
        }
        return usageError(QStringLiteral("unknown option %1").arg(option));
    }
    if (args.isEmpty()) {
        return usageError(QStringLiteral("no command given"));
    }
    const QString command = args.takeFirst();
    // Paths are taken relative to where the command was given, before the
    // program folder becomes the current folder.
    const QDir callerFolder = QDir::current();
    auto absolute = [&](const QString& path) { return callerFolder.absoluteFilePath(path); };
    QDir::setCurrent(folder);

    if (command == QLatin1String("settings") && args.isEmpty()) {
        return runSettings(folder);
    }
    if (command == QLatin1String("emulate")) {
        for (int i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == QLatin1String("--out")) {
                args[i + 1] = absolute(args[i + 1]);
            }
        }
        return runEmulator(folder, args);
    }
    if (command == QLatin1String("time") && args.isEmpty()) {
        return runTime(folder);
    }
    if (command == QLatin1String("mode") && args.size() == 1) {
        return runMode(folder, absolute(args[0]));
    }
    if (command == QLatin1String("read-para") && args.isEmpty()) {
        return runReadPara(folder);
    }
    if (command == QLatin1String("save-para")) {
        return runSavePara(folder, args);
    }
    if (command == QLatin1String("download") && args.size() == 1) {
        return runDownload(folder, args[0]);
    }
    if (command == QLatin1String("send") && args.size() == 1) {
        return runSend(folder, absolute(args[0]));
    }
    if (command == QLatin1String("compose")) {
        // Every option takes a value; TEXT and the --list file are paths.
        for (int i = 0; i < args.size(); ++i) {
            if (!args[i].startsWith(QLatin1String("--"))) {
                args[i] = absolute(args[i]);
            } else if (++i < args.size() && args[i - 1] == QLatin1String("--list")) {
                args[i] = absolute(args[i]);
            }
        }
        return runCompose(folder, args);
    }
    if (command == QLatin1String("build") && args.size() == 2) {
        return runBuild(folder, absolute(args[0]), absolute(args[1]));
    }
    if (command == QLatin1String("import-doc") || command == QLatin1String("import-xls")) {
        for (int i = 0; i < args.size(); ++i) {
            if (args[i] == QLatin1String("--name") || args[i] == QLatin1String("--list")) {
                if (args[i] == QLatin1String("--list") && i + 1 < args.size()) {
                    args[i + 1] = absolute(args[i + 1]);
                }
                ++i;
            } else if (!args[i].startsWith(QLatin1String("--"))) {
                args[i] = absolute(args[i]);
            }
        }
        return command == QLatin1String("import-doc") ? runImportDocument(folder, args)
                                                      : runImportSpreadsheet(folder, args);
    }
    return usageError(QStringLiteral("unknown command or arguments: %1").arg(command));
}
