#include "core/TextColumns.h"

#include <algorithm>
#include <vector>

QStringList alignColumns(const QList<QStringList>& rows, const QSet<int>& rightAligned) {
    qsizetype columns = 0;
    for (const QStringList& row : rows) {
        columns = std::max(columns, row.size());
    }
    std::vector<qsizetype> widths(size_t(columns), 0);
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c + 1 < row.size(); ++c) {
            widths[size_t(c)] = std::max(widths[size_t(c)], row[c].size());
        }
    }
    QStringList lines;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c + 1 == row.size()) {
                line += row[c];
            } else {
                line += (rightAligned.contains(int(c)) ? row[c].rightJustified(widths[size_t(c)])
                                                       : row[c].leftJustified(widths[size_t(c)])) +
                        QStringLiteral("  ");
            }
        }
        lines << line.trimmed();
    }
    return lines;
}
