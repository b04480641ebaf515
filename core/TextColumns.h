#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Rows of a table for a terminal: every column but the last padded to its
// widest cell, two blanks between, the columns in rightAligned flush right;
// the last column runs free. One line a row, trailing blanks trimmed.
QStringList alignColumns(const QList<QStringList>& rows, const QSet<int>& rightAligned = {});
