#include "cli/CommandLine.h"

#include "platform/PortDevice.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <vector>

namespace {

struct OptionEntry {
    const char* name;
    const char* value;  // nullptr: a switch
    const char* help;
    bool path = false;  // the value is a file or folder name
};

struct CommandEntry {
    const char* name;
    const char* arguments;  // as the synopsis shows them
    int minArguments;
    int maxArguments;  // -1: any number
    bool pathArguments;
    const char* summary;
    const char* details;
    std::vector<OptionEntry> options;
    bool usesPort = true;  // takes --port PATH
};

const OptionEntry kJson = {"json", nullptr, "print the result as one line of JSON"};
const OptionEntry kSign = {"sign", "NAME",
                           "to this sign of the sign book (signs.json); may be given\n"
                           "again for more signs"};
const OptionEntry kAllSigns = {"all-signs", nullptr, "to every sign of the sign book"};
const OptionEntry kChanged = {"changed", nullptr,
                              "only the pages that differ from what the controller's record\n"
                              "says it holds (everything when there is no record)"};
const OptionEntry kFull = {"full", nullptr, "every page, even for signs set to send changes only"};

const std::vector<CommandEntry>& commands() {
    static const std::vector<CommandEntry> table = {
        {"send",
         "[LIST.lis]",
         0,
         1,
         true,
         "send the list's pages to the controller (SEND)",
         "Sends the pictures of the list's pages, the clock glyphs and the play table\n"
         "to the controller and waits for its acknowledgement. With --sign or\n"
         "--all-signs, to those signs (each its own list when LIST.lis is not given);\n"
         "signs on one port one after the other, ports at the same time; a table of\n"
         "the results follows and the exit status is the worst of the signs'.\n"
         "With --changed only the pages whose bytes differ from the record of what\n"
         "the controller holds are written (then the play table and the end, as\n"
         "always); signs of the sign book set to send changes only do so unless\n"
         "--full is given.",
         {kSign, kAllSigns, kJson, kChanged, kFull}},
        {"build",
         "LIST.lis OUT",
         2,
         2,
         true,
         "write to OUT the exact bytes that send would write",
         "Writes the transmission of send to the file OUT instead of the port.",
         {},
         false},
        {"mode",
         "[LIST.lis]",
         0,
         1,
         true,
         "send the play table alone (MODE)",
         "Sends the play table (effect, speed and time of each page) alone. --sign\n"
         "and --all-signs as for send.",
         {kSign, kAllSigns, kJson}},
        {"time",
         "",
         0,
         0,
         false,
         "set the controller clock from this computer's clock (TIME)",
         "Sets the controller's clock to this computer's local date and time. --sign\n"
         "and --all-signs as for send.",
         {kSign, kAllSigns, kJson}},
        {"read-para",
         "",
         0,
         0,
         false,
         "read the controller's parameter block (READ PARA)",
         "Reads the parameter block, prints it and stores the received NUM, TYPE,\n"
         "WIDTH, HEIGHT, BPS and SCAN in ck.ini (with --sign or --all-signs, in\n"
         "each sign of the sign book).",
         {kJson, kSign, kAllSigns}},
        {"save-para",
         "[NAME=VALUE..]",
         0,
         -1,
         false,
         "send the parameter block",
         "Sends the parameter block and stores num, width, high, scan mode, data com\n"
         "and bps in ck.ini. Names and start values: num=1 type=0 width=64 high=16\n"
         "clock=18432000 bps=9600 scan=16 freq=100 light=<maximum> swap8=0 datacom=1\n"
         "oecom=1 autoswitch=0 translate=0 satoff=0 sunoff=0 on=8:00:00 off=18:00:00\n"
         "english=0",
         {}},
        {"download",
         "TYPE",
         1,
         1,
         false,
         "send the setup image of module type TYPE (0..26)",
         "Sends the setup image setupTYPE of the sign folder and stores the type's\n"
         "defaults in ck.ini.",
         {}},
        {"settings",
         "",
         0,
         0,
         false,
         "print the settings",
         "Prints the ten settings of ck.ini (and PORT when a port is chosen).",
         {kJson}},
        {"ports",
         "",
         0,
         0,
         false,
         "list the serial ports of this machine",
         "Lists the serial ports present (by-id names, ttyUSB*, ttyACM*, ttyS*) with\n"
         "their USB maker, product and serial number; * marks the chosen one.",
         {kJson,
          {"use", "PATH",
           "keep PATH as the port of every command (its /dev/serial/by-id name when it\n"
           "has one); none: back to \"com\" + COMM"}},
         false},
        {"compose",
         "TEXT.txt",
         1,
         1,
         true,
         "render a text into page pictures",
         "Renders a text into BASE1.bmp ... in the sign folder at WIDTH x HEIGHT, as\n"
         "TXT EDIT does, and prints the names written.",
         {{"layout", "one|many", "ONE LINE or MANY LINE (one)"},
          {"continue", "0|1", "ONE LINE: one strip cut into screens (1)"},
          {"lines", "N", "MANY LINE: LINE/PAGE 1..100 (HEIGHT div 16)"},
          {"center", "0|1", "MANY LINE: CENTER (0)"},
          {"wordwrap", "0|1", "wrap lines at WIDTH (1)"},
          {"font", "FACE", "the font (細明體)"},
          {"size", "PX", "its size in pixels (16)"},
          {"bold", "0|1", "bold (0)"},
          {"italic", "0|1", "italic (0)"},
          {"color", "NAME|#RRGGBB", "text colour (yellow)"},
          {"shadow", "NAME", "shadow colour: black red green blue yellow purple gray white"},
          {"background", "NAME", "background colour (black)"},
          {"name", "BASE", "FILENAME (LCTXT)"},
          {"list", "OUT.lis",
           "place the pages in OUT.lis (loaded first when it exists) and save it", true}},
         false},
        {"import-doc",
         "FILE.doc",
         0,
         -1,
         true,
         "one picture per document page (LibreOffice)",
         "Writes one picture per page of the document, BASE1.bmp ..., through\n"
         "LibreOffice. Exit status 1: some pages were written black; 4: LibreOffice\n"
         "is missing or could not be started.",
         {{"name", "BASE", "the pictures' base name (LC)"},
          {"list", "LIST.lis", "place the pages in the list from its last page on, save it", true}},
         false},
        {"import-xls",
         "FILE.xls",
         0,
         -1,
         true,
         "cells A1:T20 of the first sheet as a picture",
         "Writes the cells A1:T20 of the first sheet as BASE1.bmp through LibreOffice.\n"
         "Exit status as for import-doc.",
         {{"name", "BASE", "the picture's base name (LCXLS)"},
          {"list", "LIST.lis", "make it the list's last page's picture and save the list", true}},
         false},
        {"serve",
         "",
         0,
         0,
         false,
         "run the sign book unattended (the sign service)",
         "Keeps every sign of the sign book showing what its schedule says: at start\n"
         "and whenever the rule in force changes the sign gets its list (changed pages\n"
         "only where the sign book says so), live pages are sent again when they\n"
         "render differently, each clock is set once a day (setClock) and after a\n"
         "whole SEND, and a sign that fails is tried again after 5 s, doubling up to\n"
         "5 minutes. One line an event goes to standard output; every command to the\n"
         "transfer log. SIGHUP reads the sign book again; SIGTERM and SIGINT stop at\n"
         "the next frame boundary and release every port. `marquee-cli status` asks\n"
         "it how its signs are.\n"
         "With --mqtt the service also serves a site of a fleet on an MQTT broker:\n"
         "each sign's status, retained, on marquee/SITE/SIGN/status; commands on\n"
         "marquee/SITE/SIGN/cmd (SIGN * for every sign), results on .../result (see\n"
         "README). It reconnects by itself when the broker goes away.",
         {{"mqtt", "URL", "serve on the broker at mqtt://HOST:PORT or mqtts://HOST:PORT"},
          {"site", "NAME", "this site's name in the topics (letters, digits, - _ .)"},
          {"mqtt-ca", "FILE", "mqtts: the CA certificate the broker's is checked with", true},
          {"mqtt-user", "NAME", "the user name given to the broker"},
          {"mqtt-password-file", "FILE", "its password: the first line of FILE", true},
          {"discovery", "PREFIX",
           "Home Assistant's discovery prefix (homeassistant); none: no\n"
           "discovery configs"}},
         false},
        {"status",
         "",
         0,
         0,
         false,
         "how the signs of the running sign service are",
         "Asks the running sign service (marquee-cli serve, for the same settings)\n"
         "for the health of every sign: ok, retrying or failing, the last success and\n"
         "the last failure with its reason, the list it shows, the bytes sent today.\n"
         "Exit status 3 when no service runs.",
         {kJson},
         false},
        {"emulate",
         "[OPTIONS]",
         0,
         -1,
         false,
         "run the controller emulator",
         "Plays the controller on a pseudo-terminal linked as comN in the sign folder;\n"
         "received pages become page1.png ... and playlist.txt. Its options:\n"
         "  --port N              link comN (COMM of ck.ini)\n"
         "  --num N --type N --width N --height N --scan N --bps N\n"
         "  --datacom [0|1] --swap8 [0|1] NAME=VALUE ...\n"
         "                        its own parameter block (save-para names; default:\n"
         "                        emulatorN.para in the sign folder, else T0 defaults)\n"
         "  --also-num N          one more controller, number N, on the same line (an\n"
         "                        RS-485 bus); then controller N's pictures go into\n"
         "                        OUT/controllerN\n"
         "  --rg-swap [0|1]       its red and green lines are swapped\n"
         "  --zoom N              N pixels a LED, round dots from 2 (1)\n"
         "  --animate             also playlist.png, the list in motion\n"
         "  --window              show the virtual sign: the received list playing,\n"
         "                        with its effects, display times and the clock\n"
         "  --report-defaults     report controller number 0xFF (defaults)\n"
         "  --strict              no acknowledgement for a transfer off its memory map\n"
         "  --no-pace             take bytes as they come instead of at the line rate\n"
         "  --processing MS       answer MS after the last byte (20)\n"
         "  --out DIR             where the pictures go (the sign folder)\n"
         "  --record FILE         append every byte taken from the line to FILE\n"
         "  --silent --wrong-reply --delay MS --extra N --noise N\n"
         "  --hang-up-after N --stop-reading-after N      misbehave\n"
         "  --forget-after N      lose the pages in memory after N transfers (a power cut)\n"
         "  --once                stop after the first acknowledged command\n"
         "  --timeout SEC         stop after SEC seconds without traffic\n"
         "Exit status: 0 stopped; 1 --once ran out of time or the pseudo-terminal\n"
         "failed; 2 bad options; 3 the port link could not be made.",
         {},
         false},
    };
    return table;
}

const CommandEntry* findCommand(const QString& name) {
    for (const CommandEntry& entry : commands()) {
        if (name == QLatin1String(entry.name)) {
            return &entry;
        }
    }
    return nullptr;
}

const char kGlobalOptions[] =
    "  --folder DIR   keep everything in DIR: ck.ini, the chosen port, pages, lists,\n"
    "                 port links comN. Default: beside this program when a ck.ini\n"
    "                 there may be written, else ~/.config/marquee for the settings\n"
    "                 and the sign folder ~/Marquee for the rest\n"
    "  --port PATH    use the serial port PATH (a device such as\n"
    "                 /dev/serial/by-id/usb-..., or a serial server on the network:\n"
    "                 tcp://HOST:PORT or rfc2217://HOST:PORT) instead of the chosen\n"
    "                 one or comN\n"
    "  --progress     progress lines on standard error even when it is no terminal\n"
    "                 (on a terminal one line is redrawn anyway)\n"
    "  -h, --help     show this text (COMMAND --help: the command's own)\n"
    "  --version      show the version\n";

QString optionLine(const OptionEntry& option) {
    QString left = QStringLiteral("  --%1").arg(QLatin1String(option.name));
    if (option.value) {
        left += QLatin1Char(' ') + QString::fromUtf8(option.value);
    }
    QString help = QString::fromUtf8(option.help);
    help.replace(QLatin1Char('\n'), QStringLiteral("\n") + QString(26, QLatin1Char(' ')));
    return left.leftJustified(25) + QLatin1Char(' ') + help + QLatin1Char('\n');
}

QString commandHelp(const CommandEntry& entry) {
    QString text = QStringLiteral("usage: marquee-cli [--folder DIR] %1%2 %3\n\n%4\n")
                       .arg(QLatin1String(entry.name),
                            entry.options.empty() ? QString() : QStringLiteral(" [OPTIONS]"),
                            QLatin1String(entry.arguments), QString::fromUtf8(entry.details));
    if (!entry.options.empty()) {
        text += QStringLiteral("\noptions:\n");
        for (const OptionEntry& option : entry.options) {
            text += optionLine(option);
        }
    }
    text += QStringLiteral("\nglobal options:\n") + QString::fromUtf8(kGlobalOptions);
    return text;
}

CommandLine failure(const QString& text) {
    CommandLine line;
    line.outcome = CommandLine::Outcome::Error;
    line.text = text;
    return line;
}

// The command word: the first argument that is neither an option nor the
// value of --folder or --port.
QString commandWord(const QStringList& arguments) {
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--folder") || argument == QLatin1String("--port")) {
            ++i;
        } else if (!argument.startsWith(QLatin1Char('-'))) {
            return argument;
        }
    }
    return QString();
}

// The emulator reads its own options: only --folder and --help are taken
// out here, and --name=value is split for it.
CommandLine parseEmulate(const QStringList& arguments, const QDir& caller,
                         const CommandEntry& entry) {
    CommandLine line;
    line.command = QLatin1String(entry.name);
    bool commandSeen = false;
    for (int i = 0; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        QString value;
        const bool hasValue =
            argument.startsWith(QLatin1String("--")) && argument.contains(QLatin1Char('='));
        if (hasValue) {
            value = argument.section(QLatin1Char('='), 1);
            argument = argument.section(QLatin1Char('='), 0, 0);
        }
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            line.outcome = CommandLine::Outcome::Help;
            line.text = commandHelp(entry);
            return line;
        }
        if (argument == QLatin1String("--folder") || argument == QLatin1String("--out")) {
            if (!hasValue && i + 1 >= arguments.size()) {
                return failure(QStringLiteral("%1 needs a folder").arg(argument));
            }
            const QString path = caller.absoluteFilePath(hasValue ? value : arguments[++i]);
            if (argument == QLatin1String("--folder")) {
                if (!QFileInfo(path).isDir()) {
                    return failure(QStringLiteral("%1 is not a folder").arg(path));
                }
                line.folder = path;
            } else {
                line.args << argument << path;
            }
        } else if (!commandSeen && argument == line.command) {
            commandSeen = true;
        } else {
            line.args << argument;
            if (hasValue) {
                line.args << value;
            }
        }
    }
    line.outcome = CommandLine::Outcome::Run;
    return line;
}

}  // namespace

QString usageText() {
    QString text = QStringLiteral(
        "usage: marquee-cli [--folder DIR] COMMAND [ARGS]\n"
        "\n"
        "Programs LED sign controllers over a serial line, without a window.\n"
        "\n"
        "commands:\n");
    for (const CommandEntry& entry : commands()) {
        const QString synopsis =
            QStringLiteral("%1 %2").arg(QLatin1String(entry.name), QLatin1String(entry.arguments));
        text += QStringLiteral("  %1 %2\n")
                    .arg(synopsis.trimmed().leftJustified(26), QString::fromUtf8(entry.summary));
    }
    text += QStringLiteral("\noptions:\n") + QString::fromUtf8(kGlobalOptions);
    text += QStringLiteral(
        "\n"
        "marquee-cli COMMAND --help shows a command's arguments and options.\n"
        "Options may stand before or after the command, as --name VALUE or\n"
        "--name=VALUE.\n"
        "\n"
        "Settings come from ck.ini as the window reads them at start-up. The port is\n"
        "--port PATH, else the chosen port (ports --use), else \"com\" + COMM: the link\n"
        "comN in the sign folder if present, else /dev/ttyS<N-1>.\n"
        "Status texts go to standard output, messages to standard error.\n"
        "send and mode first print on standard error what they find (pages beyond the\n"
        "controller's capacity are left out, columns beyond a multiple of 8 are cut).\n"
        "Ctrl-C stops a transfer at the next frame boundary: the controller does not\n"
        "get the end of it, and the list must be sent again.\n"
        "Exit status: 0 the controller acknowledged; 1 no reply or a wrong reply;\n"
        "2 bad usage or bad input (nothing was sent, or a page found unusable stopped\n"
        "the transfer); 3 the port could not be opened or failed during the write\n"
        "(the reason is printed); 4 cancelled by Ctrl-C.\n");
    return text;
}

CommandLine parseCommandLine(const QStringList& arguments, const QDir& caller) {
    const QString word = commandWord(arguments);
    const CommandEntry* entry = findCommand(word);
    if (entry && QLatin1String(entry->name) == QLatin1String("emulate")) {
        return parseEmulate(arguments, caller, *entry);
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption folderOption(QStringLiteral("folder"), QString(),
                                          QStringLiteral("DIR"));
    const QCommandLineOption portOption(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    const QCommandLineOption progressOption(QStringLiteral("progress"));
    QList<QCommandLineOption> valued;  // the options that take a value
    const auto add = [&](const QCommandLineOption& option) {
        parser.addOption(option);
        if (!option.valueName().isEmpty()) {
            valued << option;
        }
    };
    add(folderOption);
    add(helpOption);
    add(versionOption);
    add(progressOption);
    if (!entry || entry->usesPort) {
        add(portOption);
    }
    std::vector<QCommandLineOption> own;
    if (entry) {
        for (const OptionEntry& option : entry->options) {
            own.emplace_back(QLatin1String(option.name), QString(),
                             option.value ? QString::fromUtf8(option.value) : QString());
            add(own.back());
        }
    }
    // An option that needs a value given last, without one.
    if (!arguments.isEmpty()) {
        const QString last = arguments.last();
        for (const QCommandLineOption& option : valued) {
            if (last == QLatin1String("--") + option.names().first()) {
                return failure(
                    option.valueName() == QLatin1String("DIR")
                        ? QStringLiteral("%1 needs a folder").arg(last)
                        : QStringLiteral("%1 needs a value (%2)").arg(last, option.valueName()));
            }
        }
    }
    if (!parser.parse(QStringList{QStringLiteral("marquee-cli")} + arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return failure(unknown.isEmpty()
                           ? parser.errorText()
                           : QStringLiteral("unknown option %1%2")
                                 .arg(unknown.first().size() == 1 ? "-" : "--", unknown.first()));
    }
    CommandLine line;
    if (parser.isSet(helpOption)) {
        line.outcome = CommandLine::Outcome::Help;
        line.text = entry ? commandHelp(*entry) : usageText();
        return line;
    }
    if (parser.isSet(versionOption)) {
        line.outcome = CommandLine::Outcome::Version;
        return line;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return failure(QStringLiteral("no command given"));
    }
    if (!entry) {
        return failure(QStringLiteral("unknown command %1").arg(positional.first()));
    }
    positional.removeFirst();
    line.command = word;
    if (positional.size() < entry->minArguments ||
        (entry->maxArguments >= 0 && positional.size() > entry->maxArguments)) {
        return failure(QStringLiteral("%1 takes %2")
                           .arg(word, *entry->arguments ? QLatin1String(entry->arguments)
                                                        : QLatin1String("no arguments")));
    }
    if (parser.isSet(folderOption)) {
        const QString folder = parser.value(folderOption);
        if (!QFileInfo(caller.absoluteFilePath(folder)).isDir()) {
            return failure(QStringLiteral("%1 is not a folder").arg(folder));
        }
        line.folder = QFileInfo(caller.absoluteFilePath(folder)).absoluteFilePath();
    }
    line.progress = parser.isSet(progressOption);
    if (entry->usesPort && parser.isSet(portOption)) {
        const QString port = parser.value(portOption);
        line.port = isNetworkPort(port) ? port : caller.absoluteFilePath(port);
    }
    for (size_t i = 0; i < own.size(); ++i) {
        const OptionEntry& option = entry->options[i];
        if (!parser.isSet(own[i])) {
            continue;
        }
        if (option.name == kJson.name) {
            line.json = true;
        } else if (QLatin1String(option.name) == QLatin1String("use")) {
            line.use = parser.value(own[i]);
        } else if (option.name == kSign.name) {
            line.signs << parser.values(own[i]);
        } else if (option.name == kAllSigns.name) {
            line.allSigns = true;
        } else if (option.name == kChanged.name) {
            line.changed = true;
        } else if (option.name == kFull.name) {
            line.full = true;
        } else {
            for (const QString& value : parser.values(own[i])) {
                line.args << QStringLiteral("--%1").arg(QLatin1String(option.name))
                          << (option.path ? caller.absoluteFilePath(value) : value);
            }
        }
    }
    for (const QString& argument : positional) {
        line.args << (entry->pathArguments ? caller.absoluteFilePath(argument) : argument);
    }
    if (line.changed && line.full) {
        return failure(QStringLiteral("--changed and --full do not go together"));
    }
    const bool toSigns = line.allSigns || !line.signs.isEmpty();
    if (toSigns && !line.port.isEmpty()) {
        return failure(
            QStringLiteral("--port does not go with --sign or --all-signs: each "
                           "sign has its own port"));
    }
    if (!toSigns && entry->minArguments < entry->maxArguments && positional.isEmpty() &&
        (word == QLatin1String("send") || word == QLatin1String("mode"))) {
        return failure(QStringLiteral("%1 takes LIST.lis").arg(word));
    }
    line.outcome = CommandLine::Outcome::Run;
    return line;
}
