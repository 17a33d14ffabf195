#include "platform/FileSystem.h"

#include <QFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
FileSystem::FailureHook& failureHook()
{
    static FileSystem::FailureHook hook;
    return hook;
}

QString injected(const char* operation, const QString& path)
{
    if (!failureHook())
        return QString();
    return failureHook()(QString::fromLatin1(operation), path);
}

QString systemError(const QString& what, int error)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
}

QString syncPath(const QString& path, int flags)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return systemError(QStringLiteral("Cannot open %1").arg(path), errno);
    QString reason;
    if (::fsync(fd) != 0)
        reason = systemError(QStringLiteral("Cannot write %1 to the disk").arg(path), errno);
    ::close(fd);
    return reason;
}
} // namespace

namespace FileSystem {

QString createTemporary(const QString& folder, QString& path)
{
    path.clear();
    if (QString r = injected("create", folder); !r.isEmpty())
        return r;
    QTemporaryFile file(folder + QStringLiteral("/.ledgerly-XXXXXX.tmp"));
    if (!file.open())
        return QStringLiteral("Cannot write to %1: %2").arg(folder, file.errorString());
    file.setAutoRemove(false);
    path = file.fileName();
    return QString();
}

QString flush(const QString& path)
{
    if (QString r = injected("flush", path); !r.isEmpty())
        return r;
    return syncPath(path, O_RDONLY);
}

QString flushFolder(const QString& folder)
{
    if (QString r = injected("flushFolder", folder); !r.isEmpty())
        return r;
    return syncPath(folder, O_RDONLY | O_DIRECTORY);
}

QString replace(const QString& from, const QString& to)
{
    if (QString r = injected("replace", to); !r.isEmpty())
        return r;
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return systemError(QStringLiteral("Cannot replace %1").arg(to), errno);
    return QString();
}

QString link(const QString& existing, const QString& newPath)
{
    if (QString r = injected("link", newPath); !r.isEmpty())
        return r;
    if (::link(QFile::encodeName(existing).constData(), QFile::encodeName(newPath).constData()) != 0)
        return systemError(QStringLiteral("Cannot keep %1 as %2").arg(existing, newPath), errno);
    return QString();
}

void setFailureHook(FailureHook hook)
{
    failureHook() = std::move(hook);
}

} // namespace FileSystem
