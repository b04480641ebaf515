#include "platform/PortFailure.h"

#include <QFile>
#include <QFileInfo>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

QString userName() {
    const passwd* user = ::getpwuid(::getuid());
    return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(::getuid());
}

// Whether this process carries group gid now.
bool inGroupNow(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0 && ::getgroups(count, groups.data()) == count) {
        for (gid_t group : groups) {
            if (group == gid) {
                return true;
            }
        }
    }
    return false;
}

// Whether the user's account lists group gid (it may have been added after
// this session began).
bool accountInGroup(gid_t gid) {
    const passwd* user = ::getpwuid(::getuid());
    if (!user) {
        return false;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (groups[static_cast<size_t>(i)] == gid) {
            return true;
        }
    }
    return false;
}

}  // namespace

QString openFailure(const QString& path, int error) {
    const QFileInfo entry(path);
    switch (error) {
        case ENOENT:
            if (entry.isSymLink()) {
                return QStringLiteral(
                           "%1 links to %2, which does not exist: the adapter seems unplugged.")
                    .arg(path, entry.symLinkTarget());
            }
            return QStringLiteral("%1 does not exist: the adapter seems unplugged.").arg(path);
        case ENXIO:
        case ENODEV:
            return QStringLiteral("%1 has no device behind it: the adapter seems unplugged.")
                .arg(path);
        case EACCES:
        case EPERM:
            return permissionText(path);
        case EBUSY:
            return inUseText(path, findPortHolder(path), QByteArray());
        default:
            return QStringLiteral("cannot open %1: %2")
                .arg(path, QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString permissionText(const QString& path) {
    const QString device = QFileInfo(path).canonicalFilePath();
    const QString shown =
        device.isEmpty() || device == path ? path : QStringLiteral("%1 (%2)").arg(path, device);
    struct stat info {};
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &info) != 0) {
        return QStringLiteral("Permission denied: this user may not open %1.").arg(shown);
    }
    const group* owner = ::getgrgid(info.st_gid);
    const QString groupName =
        owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
    const QString user = userName();
    if (!inGroupNow(info.st_gid) && accountInGroup(info.st_gid)) {
        return QStringLiteral(
                   "Permission denied: %1 belongs to the group %2. The user %3 was added to "
                   "that group after this session began: log out and log in again.")
            .arg(shown, groupName, user);
    }
    if (inGroupNow(info.st_gid)) {
        return QStringLiteral(
                   "Permission denied: %1 belongs to the group %2, which may not open it "
                   "for reading and writing (mode %3).")
            .arg(shown, groupName, QString::number(info.st_mode & 07777, 8));
    }
    return QStringLiteral(
               "Permission denied: %1 belongs to the group %2, and the user %3 is not in it.\n"
               "Add the user to that group (sudo adduser %3 %2), then log out and log in "
               "again.")
        .arg(shown, groupName, user);
}

QString inUseText(const QString& path, const PortHolder& holder, const QByteArray& lockPath) {
    if (holder.pid == 0) {
        return QStringLiteral("%1 is in use by another program.").arg(path);
    }
    const QString who = holder.program.isEmpty()
                            ? QStringLiteral("process %1").arg(holder.pid)
                            : QStringLiteral("%1 (PID %2)").arg(holder.program).arg(holder.pid);
    if (!lockPath.isEmpty()) {
        return QStringLiteral("%1 is in use by another program: %2 holds its lock %3.")
            .arg(path, who, QFile::decodeName(lockPath));
    }
    return QStringLiteral("%1 is in use by another program: %2 has it open.").arg(path, who);
}
