#include "pdf_file.h"

#include "fsl_file.h"

#include <QBuffer>
#include <QPdfWriter>

QByteArray PdfBytes(const PdfPaper& paper, const std::function<bool(QPagedPaintDevice&)>& paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return QByteArray();
    bool painted = false;
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(paper.title);
        writer.setCreator(QStringLiteral("Kelto"));
        writer.setResolution(paper.resolution);
        writer.setPageLayout(paper.layout);
        painted = paint(writer);
    } // the writer finishes the file when it goes
    buffer.close();
    return painted ? bytes : QByteArray();
}

bool WritePdf(const QString& path, const PdfPaper& paper,
    const std::function<bool(QPagedPaintDevice&)>& paint, QString* error)
{
    const QByteArray bytes = PdfBytes(paper, paint);
    if (bytes.isEmpty()) {
        *error = QStringLiteral("Die Seiten lassen sich nicht als PDF zeichnen.");
        return false;
    }
    return SaveBytes(path, bytes, error);
}
