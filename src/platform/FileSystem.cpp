#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
FileSystem::FailureHook& failureHook()
{
    static FileSystem::FailureHook hook;
    return hook;
}

Result injected(const char* operation, const QString& path)
{
    if (!failureHook())
        return Result::success();
    return failureHook()(QString::fromLatin1(operation), path);
}

Result systemError(const QString& what, int error)
{
    return Result::failed(FileSystem::describeFailure(what, error));
}

const QString TemporaryPrefix = QStringLiteral(".ledgerly-");
const QString TemporarySuffix = QStringLiteral(".tmp");

QString hostName()
{
    QString host = QSysInfo::machineHostName();
    // The name is part of a file name: nothing that could leave the folder.
    host.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.]")), QStringLiteral("_"));
    return host.isEmpty() ? QStringLiteral("host") : host;
}

bool processRuns(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

Result syncPath(const QString& path, int flags)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return systemError(QStringLiteral("Cannot open %1").arg(path), errno);
    Result synced;
    if (::fsync(fd) != 0)
        synced = systemError(QStringLiteral("Cannot write %1 to the disk").arg(path), errno);
    ::close(fd);
    return synced;
}
} // namespace

namespace FileSystem {

Result createTemporary(const QString& folder, QString& path)
{
    path.clear();
    if (Result r = injected("create", folder); !r.ok())
        return r;
    // .ledgerly-HOST-PID-XXXXXX.tmp
    QTemporaryFile file(QStringLiteral("%1/%2%3-%4-XXXXXX%5")
                            .arg(folder, TemporaryPrefix, hostName(),
                                QString::number(QCoreApplication::applicationPid()), TemporarySuffix));
    if (!file.open()) {
        const int error = errno;
        if (Result r = checkFolder(folder); !r.ok())
            return r;
        return systemError(QStringLiteral("The folder %1 cannot be written").arg(folder), error);
    }
    file.setAutoRemove(false);
    path = file.fileName();
    return Result::success();
}

Result checkFolder(const QString& folder)
{
    struct stat info;
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Result::failed(QStringLiteral("The folder %1 cannot be found").arg(folder));
        return systemError(QStringLiteral("The folder %1 cannot be entered").arg(folder), errno);
    }
    if (!S_ISDIR(info.st_mode))
        return Result::failed(QStringLiteral("The folder %1 cannot be found").arg(folder));
    if (::access(QFile::encodeName(folder).constData(), X_OK) != 0)
        return systemError(QStringLiteral("The folder %1 cannot be entered").arg(folder), errno);
    return Result::success();
}

int removeAbandonedTemporaries(const QString& folder)
{
    static const QRegularExpression owned(QStringLiteral("^\\.ledgerly-(.+)-(\\d+)-[A-Za-z0-9]+\\.tmp(-journal)?$"));
    const QString host = hostName();
    const QDateTime dayAgo = QDateTime::currentDateTimeUtc().addDays(-1);
    const QDateTime hourAgo = QDateTime::currentDateTimeUtc().addSecs(-3600);
    int removed = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(
        {TemporaryPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QFileInfo& file : files) {
        const QRegularExpressionMatch m = owned.match(file.fileName());
        bool abandoned;
        if (m.hasMatch() && m.captured(1) == host)
            abandoned = !processRuns(m.captured(2).toLongLong());
        else if (m.hasMatch()) // another machine's: it may still be writing it
            abandoned = file.lastModified().toUTC() < dayAgo;
        else // an earlier version's, which named no owner
            abandoned = file.lastModified().toUTC() < hourAgo;
        if (abandoned && QFile::remove(file.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

QString describeFailure(const QString& what, int error)
{
    QString why;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        why = QStringLiteral("the disk is full");
        break;
    case EACCES:
    case EPERM:
        why = QStringLiteral("you are not allowed to use that folder");
        break;
    case EROFS:
        why = QStringLiteral("the disk can only be read");
        break;
    case EIO:
        why = QStringLiteral("the disk could not be read or written (is it damaged, or was it taken out?)");
        break;
    case ENOENT:
    case ENOTDIR:
        why = QStringLiteral("the folder cannot be found");
        break;
    default:
        why = QString::fromLocal8Bit(std::strerror(error));
        break;
    }
    return QStringLiteral("%1: %2").arg(what, why);
}

Result flush(const QString& path)
{
    if (Result r = injected("flush", path); !r.ok())
        return r;
    return syncPath(path, O_RDONLY);
}

Result flushFolder(const QString& folder)
{
    if (Result r = injected("flushFolder", folder); !r.ok())
        return r;
    return syncPath(folder, O_RDONLY | O_DIRECTORY);
}

Result replace(const QString& from, const QString& to)
{
    if (Result r = injected("replace", to); !r.ok())
        return r;
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return systemError(QStringLiteral("Cannot replace %1").arg(to), errno);
    return Result::success();
}

Result link(const QString& existing, const QString& newPath)
{
    if (Result r = injected("link", newPath); !r.ok())
        return r;
    if (::link(QFile::encodeName(existing).constData(), QFile::encodeName(newPath).constData()) != 0)
        return systemError(QStringLiteral("Cannot keep %1 as %2").arg(existing, newPath), errno);
    return Result::success();
}

void setFailureHook(FailureHook hook)
{
    failureHook() = std::move(hook);
}

} // namespace FileSystem
