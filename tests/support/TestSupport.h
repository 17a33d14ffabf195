#pragma once

#include <QDate>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class Database;

namespace TestSupport {
// The fixed "today" of every test: a Wednesday.
inline const QDate Today(2024, 5, 15);

// A fresh data folder with a new db.mdb, opened as the program-wide
// connection. Everything is removed again when it goes out of scope.
class DataFixture {
public:
    DataFixture();
    ~DataFixture();
    QString folder() const { return m_dir.path(); }
    QString databasePath() const;
    Database& db() { return *m_db; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;
};

QByteArray fileBytes(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
} // namespace TestSupport
