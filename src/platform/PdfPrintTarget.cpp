#include "platform/PdfPrintTarget.h"

#include "Version.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QLocale>
#include <QPageLayout>
#include <QPdfWriter>
#include <cerrno>

namespace {
QString cannotWrite(const QString& path, const QString& why)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), why);
}

QString cannotWrite(const QString& path, int error)
{
    return FileSystem::describeFailure(QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(path)), error);
}
} // namespace

PdfPrintTarget::PdfPrintTarget(const QString& path, const QString& title)
    : m_path(path)
    , m_file(path)
{
    // Opening the file first finds an unusable folder before anything is
    // painted; the file itself is written at the end.
    // Unbuffered, so that a failed write leaves its cause in errno.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        fail(cannotWrite(path, errno));
        return;
    }
    m_buffer.open(QIODevice::WriteOnly);
    m_writer = std::make_unique<QPdfWriter>(&m_buffer);
    m_writer->setTitle(title);
    m_writer->setCreator(QStringLiteral(LEDGERLY_TITLE " " LEDGERLY_VERSION));
    const QPageSize size(
        QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
    // About the edge a printer cannot reach.
    m_writer->setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(18, 18, 18, 18), QPageLayout::Point));
    begin(m_writer.get(), cannotWrite(path, QStringLiteral("the PDF could not be started")));
}

PdfPrintTarget::~PdfPrintTarget()
{
    abandon();
}

bool PdfPrintTarget::finish()
{
    errno = 0;
    if (m_file.write(m_buffer.data()) != m_buffer.size() || !m_file.commit()) {
        const int error = errno;
        fail(error != 0 ? cannotWrite(m_path, error) : cannotWrite(m_path, m_file.errorString()));
        return false;
    }
    return true;
}
