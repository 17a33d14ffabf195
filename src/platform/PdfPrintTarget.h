#pragma once

#include "platform/PainterPrintTarget.h"

#include <QBuffer>
#include <QSaveFile>
#include <memory>

class QPdfWriter;

// Prints into a PDF file. The file appears only when the document has been
// ended without a failure, and then replaces any older file of that name at
// once; an abandoned or failed printout leaves the older file as it was.
class PdfPrintTarget : public PainterPrintTarget
{
public:
    PdfPrintTarget(const QString& path, const QString& title);
    ~PdfPrintTarget() override;

    QString path() const { return m_path; }

protected:
    bool finish() override;

private:
    QString m_path;
    QSaveFile m_file;
    QBuffer m_buffer;
    std::unique_ptr<QPdfWriter> m_writer;
};
