#include "core/SettingsFile.h"
#include "tests/TestSupport.h"

#include <sys/resource.h>
#include <csignal>

namespace {

const QByteArray kDefaultBytes = "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n0\r\n";

TEST(SettingsFile, ReadsAsTheWindowDoesAtStartUp) {
    struct Case {
        const char* name;
        QByteArray content;  // empty: no ck.ini at all
        const char* expected;
        int valuesRead;
        const char* error = "";
        int errorLine = 0;
    };
    const char* defaults = "1 64 16 1 16 0 1 0 0 0";
    const Case cases[] = {
        {"missing file keeps defaults", "", defaults, 0},
        {"defaults", kDefaultBytes, defaults, 10},
        {"flags of 2 are off", "1\r\n64\r\n16\r\n1\r\n16\r\n2\r\n2\r\n2\r\n0\r\n0\r\n",
         "1 64 16 1 16 0 0 0 0 0", 10},
        {"fewer than ten values", "7\r\n128\r\n32\r\n", "7 128 32 1 16 0 1 0 0 0", 3},
        {"non-number on line 4 stops there", "9\r\n100\r\n40\r\nCOM1\r\n8\r\n1\r\n",
         "9 100 40 1 16 0 1 0 0 0", 3, kInvalidNumericInput, 4},
        {"out of range is clamped", "-5\r\n5000\r\n1\r\n0\r\n99\r\n1\r\n0\r\n1\r\n99\r\n-1\r\n",
         "0 2048 8 1 16 1 0 1 26 0", 10},
        {"huge numbers saturate", "99999999999999999999999\r\n", "255 64 16 1 16 0 1 0 0 0", 1},
        {"blank lines and trailing text are skipped", "\r\n  3 controllers\r\n\r\n\t96\n",
         "3 96 16 1 16 0 1 0 0 0", 2},
        {"LF and lone CR line ends", "2\n80\r24\n", "2 80 24 1 16 0 1 0 0 0", 3},
        {"explicit plus sign", "+4\r\n", "4 64 16 1 16 0 1 0 0 0", 1},
        {"a lone sign is not a number", "-\r\n", defaults, 0, kInvalidNumericInput, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        if (!c.content.isEmpty()) {
            ASSERT_TRUE(writeBytes(dir.filePath("ck.ini"), c.content));
        }
        Settings settings;
        const SettingsReadResult result = readSettingsFile(dir.path(), &settings);
        EXPECT_EQ(result.found, !c.content.isEmpty());
        EXPECT_EQ(settingsText(settings), c.expected);
        EXPECT_EQ(result.valuesRead, c.valuesRead);
        EXPECT_EQ(result.error, c.error);
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
    EXPECT_EQ(settingsText(highest), "255 2048 1600 255 16 1 1 1 26 4");
    EXPECT_EQ(settingsText(lowest), "0 8 8 1 1 0 0 0 0 0");
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

TEST(SettingsFile, ReadOnlyFileIsOverwrittenAFailedWriteLeavesTheOldFileWhole) {
    {
        SCOPED_TRACE("read-only ck.ini");
        QTemporaryDir dir;
        const QString path = dir.filePath("ck.ini");
        ASSERT_TRUE(writeBytes(path, "old"));
        ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        ASSERT_TRUE(writeSettingsFile(dir.path(), Settings{}));
        EXPECT_EQ(readBytes(path), kDefaultBytes);
        EXPECT_TRUE(QFile::permissions(path) & QFileDevice::WriteOwner);
    }
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
        Settings wide;
        wide.WIDTH = 2048;
        const bool written = writeSettingsFile(dir.path(), wide);
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
    Settings fastest;
    fastest.BPS = 4;
    EXPECT_EQ(fastest.baudRate(), 115200);
}

}  // namespace
