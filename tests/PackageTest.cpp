// The .deb as a user meets it: built by cpack, unpacked, and run by an
// unprivileged user with a fresh home folder.

#include "tests/UserSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

#include <pwd.h>
#include <sys/stat.h>

namespace {

// Entries of /tmp that belong to uid.
QStringList tmpEntriesOf(uid_t uid) {
    QStringList owned;
    for (const QString& name :
         QDir(QStringLiteral("/tmp"))
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        struct stat info {};
        if (::lstat(QFile::encodeName("/tmp/" + name).constData(), &info) == 0 &&
            info.st_uid == uid) {
            owned << name;
        }
    }
    return owned;
}

bool run(const QString& program, const QStringList& args, QString* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool done = process.waitForFinished(300000);
    *output = QString::fromUtf8(process.readAll());
    return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

TEST(Package, InstallsAndRunsAsAUserWithAFreshHome) {
    QString why;
    const QString user = unprivilegedUser(&why);
    if (user.isEmpty()) {
        GTEST_SKIP() << "cannot test as an unprivileged user: " << why.toStdString();
    }
    for (const char* tool : {"cpack", "dpkg-deb", "desktop-file-validate"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            GTEST_SKIP() << tool << " is missing (scripts/install-deps.sh installs it)";
        }
    }
    QTemporaryDir work;
    const QDir dir(work.path());
    QFile::setPermissions(work.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadOther | QFile::ExeOther);
    QString output;
    ASSERT_TRUE(run("cpack",
                    {"-G", "DEB", "--config", MARQUEE_BUILD_DIR "/CPackConfig.cmake", "-B",
                     dir.filePath("package")},
                    &output))
        << output.toStdString();
    const QStringList debs = QDir(dir.filePath("package")).entryList({"*.deb"});
    ASSERT_EQ(debs.size(), 1) << output.toStdString();
    const QString deb = dir.filePath("package/" + debs[0]);
    ASSERT_TRUE(run("dpkg-deb", {"-x", deb, dir.filePath("root")}, &output))
        << output.toStdString();
    ASSERT_TRUE(run("dpkg-deb", {"-f", deb, "Depends", "Recommends"}, &output));
    for (const char* needed :
         {"libqt6widgets6", "libjpeg62-turbo", "libpoppler-cpp0v5", "xfonts-wqy",
          "fonts-arphic-uming", "python3-uno", "libreoffice-draw-nogui"}) {
        EXPECT_TRUE(output.contains(QLatin1String(needed)))
            << needed << " in " << output.toStdString();
    }
    const QString usr = dir.filePath("root/usr");
    for (const char* file :
         {"bin/marquee", "bin/marquee-cli", "share/marquee/fonts.conf",
          "share/man/man1/marquee-cli.1", "share/icons/hicolor/scalable/apps/marquee.svg",
          "share/mime/packages/marquee.xml", "share/bash-completion/completions/marquee-cli",
          "share/marquee/systemd/marquee-time.timer", "lib/systemd/user/marquee.service"}) {
        EXPECT_TRUE(QFileInfo::exists(usr + "/" + file)) << file;
    }
    EXPECT_TRUE(
        run("desktop-file-validate", {usr + "/share/applications/marquee.desktop"}, &output))
        << output.toStdString();

    const QString home = dir.filePath("home");
    QDir().mkpath(home);
    const passwd* account = ::getpwnam(user.toLatin1().constData());
    ASSERT_NE(account, nullptr);
    ASSERT_EQ(::chown(QFile::encodeName(home).constData(), account->pw_uid, account->pw_gid), 0);
    const QStringList tmpBefore = tmpEntriesOf(account->pw_uid);
    const QString cli = usr + "/bin/marquee-cli";

    // An old ck.ini beside the executable, which the user may not write, is
    // read while the user has none of their own.
    writeBytes(usr + "/bin/ck.ini", "1\r\n96\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n0\r\n");
    const CliRun settings = runAs(user, home, cli, {"settings"});
    EXPECT_EQ(settings.exitCode, 0) << settings.err.toStdString();
    EXPECT_TRUE(settings.out.startsWith("NUM=1\nWIDTH=96\n")) << settings.out.toStdString();

    QProcess emulator;
    startAs(emulator, user, home, cli, {"emulate", "--once", "--timeout", "20"});
    QElapsedTimer timer;
    timer.start();
    while (!QFileInfo::exists(home + "/Marquee/com1") && timer.elapsed() < 10000) {
        QThread::msleep(20);
    }
    const CliRun read = runAs(user, home, cli, {"read-para"});
    EXPECT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_TRUE(read.out.contains("read para success!")) << read.out.toStdString();
    EXPECT_EQ(readBytes(home + "/.config/marquee/ck.ini"),
              "1\r\n64\r\n16\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n0\r\n");
    emulator.terminate();
    emulator.waitForFinished(30000);

    writeBytes(home + "/hello.txt", "HELLO");
    ::chown(QFile::encodeName(home + "/hello.txt").constData(), account->pw_uid, account->pw_gid);
    const CliRun compose = runAs(user, home, cli, {"compose", "hello.txt", "--list=hello.lis"});
    EXPECT_EQ(compose.exitCode, 0) << compose.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(home + "/Marquee/LCTXT1.bmp"));
    EXPECT_TRUE(QFileInfo::exists(home + "/hello.lis"));

    // Nothing beside the executables, nothing left in /tmp.
    EXPECT_EQ(QDir(usr + "/bin").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"ck.ini", "marquee", "marquee-cli"}));
    EXPECT_TRUE(runAs(user, home, cli, {"settings"}).out.startsWith("NUM=1\nWIDTH=64\n"));
    // Other tests may run programs as this user meanwhile: what they make
    // comes and goes; what this test's commands left stays.
    QStringList left;
    for (int i = 0; i < 600; ++i) {  // up to 30 s: a slow build's commands take long
        left.clear();
        for (const QString& name : tmpEntriesOf(account->pw_uid)) {
            if (!tmpBefore.contains(name)) {
                left << name;
            }
        }
        if (left.isEmpty()) {
            break;
        }
        QThread::msleep(50);
    }
    EXPECT_EQ(left, QStringList());
}

}  // namespace
