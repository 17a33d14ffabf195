#include "platform/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString g_path;
QString g_databaseAddress;
} // namespace

namespace DataFolder {
QString path()
{
    if (g_path.isEmpty())
        g_path = resolveDefault();
    return g_path;
}

void setPath(const QString& folder)
{
    g_path = QDir(folder).absolutePath();
}

QString databasePath()
{
    return path() + QStringLiteral("/db.mdb");
}

QString databaseAddress()
{
    return g_databaseAddress.isEmpty() ? databasePath() : g_databaseAddress;
}

void setDatabaseAddress(const QString& address)
{
    g_databaseAddress = address;
}

QString resolveDefault()
{
    // A db.mdb beside the program makes a portable install. Any other
    // program folder, a build folder above all, is no place for the data:
    // cleaning the build would delete the practice's appointment book.
    const QString programDir = QCoreApplication::applicationDirPath();
    if (!programDir.isEmpty() && QFileInfo(programDir + QStringLiteral("/db.mdb")).isFile())
        return programDir;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder;
}
} // namespace DataFolder
