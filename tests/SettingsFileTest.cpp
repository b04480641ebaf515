#include "core/SettingsFile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <csignal>

namespace {

const QByteArray kDefaultBytes = "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n0\r\n";

Settings make(std::initializer_list<std::pair<int, long long>> values) {
    Settings s;
    for (const auto& [index, value] : values) {
        applySettingValue(s, index, value);
    }
    return s;
}

struct ReadCase {
    const char* name;
    QByteArray content;  // empty: no ck.ini at all
    Settings expected;
    int valuesRead;
    const char* error;
    int errorLine;
};

TEST(SettingsFile, ReadsAsTheWindowDoesAtStartUp) {
    const ReadCase cases[] = {
        {"missing file keeps defaults", "", Settings{}, 0, "", 0},
        {"defaults", kDefaultBytes, Settings{}, 10, "", 0},
        {"flags of 2 are off", "1\r\n64\r\n16\r\n1\r\n16\r\n2\r\n2\r\n2\r\n0\r\n0\r\n",
         make({{6, 0}}), 10, "", 0},
        {"TYPE 26", "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n26\r\n4\r\n",
         make({{8, 26}, {9, 4}}), 10, "", 0},
        {"fewer than ten values", "7\r\n128\r\n32\r\n", make({{0, 7}, {1, 128}, {2, 32}}), 3, "",
         0},
        {"non-number on line 4 stops there", "9\r\n100\r\n40\r\nCOM1\r\n8\r\n1\r\n",
         make({{0, 9}, {1, 100}, {2, 40}}), 3, kInvalidNumericInput, 4},
        {"out of range is clamped", "-5\r\n5000\r\n1\r\n0\r\n99\r\n1\r\n0\r\n1\r\n99\r\n-1\r\n",
         make(
             {{0, 0}, {1, 2048}, {2, 8}, {3, 1}, {4, 16}, {5, 1}, {6, 0}, {7, 1}, {8, 26}, {9, 0}}),
         10, "", 0},
        {"huge numbers saturate", "99999999999999999999999\r\n", make({{0, 255}}), 1, "", 0},
        {"blank lines and trailing text are skipped", "\r\n  3 controllers\r\n\r\n\t96\n",
         make({{0, 3}, {1, 96}}), 2, "", 0},
        {"LF and lone CR line ends", "2\n80\r24\n", make({{0, 2}, {1, 80}, {2, 24}}), 3, "", 0},
        {"explicit plus sign", "+4\r\n", make({{0, 4}}), 1, "", 0},
        {"a lone sign is not a number", "-\r\n", Settings{}, 0, kInvalidNumericInput, 1},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        if (!c.content.isEmpty()) {
            ASSERT_TRUE(writeBytes(dir.filePath("ck.ini"), c.content));
        }
        Settings settings;
        const SettingsReadResult result = readSettingsFile(dir.path(), &settings);
        EXPECT_EQ(result.found, !c.content.isEmpty());
        EXPECT_EQ(settingValues(settings), settingValues(c.expected));
        EXPECT_EQ(result.valuesRead, c.valuesRead);
        EXPECT_EQ(result.error, QString::fromLatin1(c.error));
        EXPECT_EQ(result.errorLine, c.errorLine);
    }
}

TEST(SettingsFile, WritesTenCrLfLinesAndRoundTripsToAFixedPoint) {
    EXPECT_EQ(formatSettings(Settings{}), kDefaultBytes);

    Settings lowest;
    Settings highest;
    for (int i = 0; i < kSettingCount; ++i) {
        applySettingValue(lowest, i, settingDefs()[static_cast<size_t>(i)].minimum);
        applySettingValue(highest, i, settingDefs()[static_cast<size_t>(i)].maximum);
    }
    EXPECT_EQ(formatSettings(highest),
              "255\r\n2048\r\n1600\r\n255\r\n16\r\n1\r\n1\r\n1\r\n26\r\n4\r\n");
    for (const Settings& original : {Settings{}, lowest, highest}) {
        QTemporaryDir dir;
        ASSERT_TRUE(writeSettingsFile(dir.path(), original));
        const QByteArray first = readBytes(dir.filePath("ck.ini"));
        Settings read;
        EXPECT_TRUE(readSettingsFile(dir.path(), &read).error.isEmpty());
        EXPECT_EQ(read, original);
        ASSERT_TRUE(writeSettingsFile(dir.path(), read));
        EXPECT_EQ(readBytes(dir.filePath("ck.ini")), first);
    }
}

TEST(SettingsFile, ReadOnlyFileIsMadeWritableAndOverwritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ck.ini");
    ASSERT_TRUE(writeBytes(path, "old"));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    ASSERT_TRUE(writeSettingsFile(dir.path(), make({{1, 128}})));
    EXPECT_EQ(readBytes(path), "1\r\n128\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n0\r\n");
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::WriteOwner);
}

TEST(SettingsFile, FailedWriteReportsAndLeavesOldFileWhole) {
    {
        SCOPED_TRACE("folder gone");
        QString reason;
        EXPECT_FALSE(writeSettingsFile("/nonexistent/marquee/folder", Settings{}, &reason));
        EXPECT_FALSE(reason.isEmpty());
    }
    {
        SCOPED_TRACE("ck.ini is a folder");
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkdir("ck.ini"));
        EXPECT_FALSE(writeSettingsFile(dir.path(), Settings{}));
        EXPECT_TRUE(QFileInfo(dir.filePath("ck.ini")).isDir());
    }
    {
        SCOPED_TRACE("disk full half way: the old file stays whole");
        QTemporaryDir dir;
        const QString path = dir.filePath("ck.ini");
        ASSERT_TRUE(writeBytes(path, kDefaultBytes));
        // Limit the size of files this process may write, so the write fails
        // part way, as on a full disk.
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 8;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = writeSettingsFile(dir.path(), make({{1, 2048}}));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(written);
        EXPECT_EQ(readBytes(path), kDefaultBytes);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"ck.ini"});
    }
}

TEST(SettingsFile, TextsOfTheLists) {
    ASSERT_EQ(typeTexts().size(), kTypeCount);
    EXPECT_EQ(typeTexts()[26], "T26:special_double color_8 bottom fold once_top fold once");
    EXPECT_EQ(typeTexts()[13], "T13:monochrome_sell at a discount");
    for (int i = 0; i < kTypeCount; ++i) {
        EXPECT_TRUE(typeTexts()[i].startsWith(QStringLiteral("T%1:").arg(i)));
    }
    const int rates[] = {9600, 19200, 38400, 57600, 115200};
    for (int i = 0; i < kBpsCount; ++i) {
        EXPECT_EQ(make({{9, i}}).baudRate(), rates[i]);
    }
}

}  // namespace
