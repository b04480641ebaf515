#include "tests/TestSupport.h"

namespace {

TEST(CommandLine, UsageAndExitStatus) {
    QTemporaryDir dir;
    struct Case {
        QStringList args;
        int exitCode;
        const char* inOut;
        const char* inErr;
    };
    const Case cases[] = {
        {{"--help"}, 0, "usage: marquee-cli [--folder DIR] COMMAND", ""},
        {{}, 2, "", "no command given"},
        {{"--folder"}, 2, "", "--folder needs a folder"},
        {{"--folder", dir.filePath("missing"), "settings"}, 2, "", "is not a folder"},
        {{"--bogus"}, 2, "", "unknown option --bogus"},
        {{"--folder", dir.path(), "frobnicate"}, 2, "", "unknown command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.out.contains(QString::fromUtf8(c.inOut))) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.inErr))) << run.err.toStdString();
    }
}

TEST(CommandLine, SettingsAreReadFromTheFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(QDir(dir.path()).filePath("ck.ini"),
                           "2\r\n128\r\n32\r\n3\r\n8\r\n1\r\n0\r\n1\r\n26\r\n4\r\n"));
    const CliRun run = runCli({"--folder", dir.path(), "settings"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "NUM=2\nWIDTH=128\nHEIGHT=32\nCOMM=3\nSCAN=8\nRG-SWAP=1\nCOLOR-SWAP=0\n"
              "ADJUST=1\nTYPE=26 (T26:special_double color_8 bottom fold once_top fold once)\n"
              "BPS=4 (115200)\n");
}

}  // namespace
