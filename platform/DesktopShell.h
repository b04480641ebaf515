#pragma once

#include <QString>
#include <QStringList>

// Starting other programs the way the desktop does: detached, not waited for.
// A failure to start is not reported to the operator; the functions return
// whether something was started so the caller may decide.

// The paint programs tried for PICTURE, first found on PATH wins.
const QStringList& paintPrograms();
// The text editors tried for EDIT, first found on PATH wins.
const QStringList& textEditors();

// The first of the programs found on PATH, or empty.
QString findProgram(const QStringList& candidates);

// Starts program with arguments in workingFolder without waiting.
bool startDetached(const QString& program, const QStringList& arguments,
                   const QString& workingFolder);

// Opens file with the desktop's default program for it (xdg-open).
bool openWithDefaultProgram(const QString& file);

// Opens file in the first paint program found, else with the default program.
bool openInPaintProgram(const QString& fileName, const QString& workingFolder);

// Starts the first text editor found, without a file.
bool startTextEditor(const QString& workingFolder);
