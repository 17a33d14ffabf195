#include "TestSupport.h"

#include "platform/Clock.h"
#include "platform/DataFolder.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTest>

namespace {
// Runs in every test program before the tests: a fixed locale and a fixed
// today, whatever the machine says.
void fixEnvironment()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Clock::setFixedToday(TestSupport::Today);
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(fixEnvironment)

namespace TestSupport {

DataFixture::DataFixture()
{
    if (!m_dir.isValid())
        qFatal("no temporary folder");
    DataFolder::setPath(m_dir.path());
    m_db = std::make_unique<Database>();
    const Database::OpenResult r = m_db->open(databasePath());
    if (!r.ok)
        qFatal("cannot open test database: %s", qPrintable(r.message));
    Database::setCurrent(m_db.get());
}

DataFixture::~DataFixture()
{
    if (Database::current() == m_db.get())
        Database::setCurrent(nullptr);
    m_db.reset();
}

QString DataFixture::databasePath() const
{
    return m_dir.path() + QStringLiteral("/db.mdb");
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

} // namespace TestSupport
