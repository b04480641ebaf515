#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// The command line of marquee-cli, read by QCommandLineParser: options
// anywhere (before or after the command word), --option=value, -h/--help for
// the program and for each command, --version.
struct CommandLine {
    enum class Outcome { Run, Help, Version, Error };
    Outcome outcome = Outcome::Error;
    QString text;     // the help text, or what is wrong
    QString command;  // the command word
    QString folder;   // --folder DIR, absolute; empty when not given
    QString port;     // --port PATH, absolute (a network address as given); empty when not given
    bool json = false;
    bool progress = false;  // --progress
    QString use;            // ports --use PATH|none
    // --sign NAME (repeatable) and --all-signs: the signs of the sign book
    // that send, mode, time and read-para go to.
    QStringList signs;
    bool allSigns = false;
    bool changed = false;  // send --changed
    bool full = false;     // send --full
    // What follows the command word for its runner: positional arguments
    // (paths made absolute) and the command's own options as "--name value".
    QStringList args;
};

// arguments: without the program name; paths are taken relative to caller.
CommandLine parseCommandLine(const QStringList& arguments, const QDir& caller);

// The text of marquee-cli --help.
QString usageText();
