// Whole transfers must not change by a byte: every module type and a few
// awkward screens, built from the same pictures by the real marquee-cli and
// compared with the hashes recorded in tests/data/transfers.txt.

#include "tests/TestSupport.h"

#include <QCryptographicHash>

TEST(BuildOutput, EveryTypeAndScreenIsByteForByteAsRecorded) {
    const QString table = QString::fromUtf8(readBytes(dataPath("transfers.txt")));
    const QDir pictures(dataPath("pictures"));
    int rows = 0;
    for (const QString& line : table.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith('#')) {
            continue;
        }
        const QStringList f = line.split(' ', Qt::SkipEmptyParts);
        ASSERT_EQ(f.size(), 13) << line.toStdString();
        SCOPED_TRACE(f[0].toStdString());
        QTemporaryDir dir;
        for (const QString& name : pictures.entryList(QDir::Files)) {
            QFile::copy(pictures.filePath(name), QDir(dir.path()).filePath(name));
        }
        writeBytes(QDir(dir.path()).filePath("ck.ini"),
                   (f.mid(1, 10).join("\r\n") + "\r\n").toLatin1());
        const QString out = QDir(dir.path()).filePath("out.bin");
        const CliRun run =
            runCli({"--folder", dir.path(), "build", QDir(dir.path()).filePath("all.lis"), out});
        EXPECT_EQ(run.exitCode, f[11].toInt()) << run.err.toStdString();
        const QByteArray bytes = readBytes(out);
        const QString sum =
            bytes.isEmpty()
                ? QStringLiteral("-")
                : QString::fromLatin1(
                      QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        EXPECT_EQ(sum, f[12]);
        ++rows;
    }
    EXPECT_EQ(rows, 36);
}
