#include "Paint.h"

#include "PdfText.h"

#include <QBuffer>
#include <QFile>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QScopeGuard>

namespace reports {

namespace {

// Each line at its own baseline: no clipping, the text was fitted to its box.
void drawText(QPainter& p, const TextItem& item) {
    p.setFont(item.font);
    const QFontMetricsF metrics(item.font);
    const WrappedText& t = item.text;
    for (std::size_t i = 0; i < t.lines.size(); ++i) {
        const QString line = t.text.mid(t.lines[i].first, t.lines[i].second);
        double x = item.rect.left();
        if (item.align == Align::Centre) {
            QStringView shown(line);
            while (!shown.isEmpty() && shown.back().isSpace()) {
                shown.chop(1);
            }
            x += (item.rect.width() - metrics.horizontalAdvance(shown.toString())) / 2;
        }
        p.drawText(QPointF(x, item.rect.top() + double(i) * t.lineHeight + t.ascent), line);
    }
}

void paintItems(QPainter& p, const Layout& layout, const PageItems& items) {
    p.save();
    p.setPen(QPen(Qt::black, penWidth)); // square caps: the stroke the layout keeps text clear of
    p.translate(layout.report().margin, layout.report().margin);
    for (const QLineF& line : items.lines) {
        p.drawLine(line);
    }
    for (const TextItem& text : items.texts) {
        drawText(p, text);
    }
    p.restore();
}

// `abandon` undoes a job that stops before its end, by cancel, failure or throw.
Painted paintPages(QPagedPaintDevice& device, const ReportDefinition& report,
                   const ReportRows& rows, const platform::Progress& progress, GlyphNames* names,
                   const std::function<void()>& abandon = {}) {
    device.setPageMargins(QMarginsF(0, 0, 0, 0));
    const QRectF paper = device.pageLayout().fullRect(QPageLayout::Point);
    Layout layout(report, rows, qRound(paper.height() * 20));
    QPainter painter;
    if (!painter.begin(&device)) {
        return Painted::Failed;
    }
    auto stop = qScopeGuard([&] {
        if (abandon) {
            abandon();
        }
        painter.end();
    });
    useTwips(painter);
    for (qsizetype page = 0; layout.extendTo(page); ++page) {
        if (page > 0 && !device.newPage()) {
            return Painted::Failed;
        }
        const PageItems items = layout.items(page);
        if (names != nullptr) {
            names->add(items);
        }
        paintItems(painter, layout, items);
        if (progress && !progress(layout.rowsPlaced(), rows.count())) {
            return Painted::Cancelled;
        }
    }
    stop.dismiss();
    return painter.end() ? Painted::Done : Painted::Failed;
}

} // namespace

void useTwips(QPainter& painter) {
    const QPaintDevice* device = painter.device();
    painter.scale(device->logicalDpiX() / 1440.0, device->logicalDpiY() / 1440.0);
}

void paintPage(QPainter& p, const Layout& layout, qsizetype page) {
    paintItems(p, layout, layout.items(page));
}

Painted print(QPrinter& printer, const ReportDefinition& report, const ReportRows& rows,
              const platform::Progress& progress) {
    bool aborted = true;
    const Painted painted =
        paintPages(printer, report, rows, progress, nullptr, [&] { aborted = printer.abort(); });
    // Qt's PDF printing cannot abort, and writes the file as it goes: half a file is none.
    if (painted != Painted::Done && !aborted && printer.outputFormat() == QPrinter::PdfFormat &&
        !printer.outputFileName().isEmpty()) {
        QFile::remove(printer.outputFileName());
    }
    return painted;
}

Painted exportPdf(const QString& path, const ReportDefinition& report, const ReportRows& rows,
                  const platform::Progress& progress) {
    // Written aside and put in place whole; opened first, so that a file
    // that cannot be written is known before the work.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return Painted::Failed;
    }
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    GlyphNames names;
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(1440);
        writer.setCreator(QStringLiteral("雁书簿"));
        writer.setTitle(report.caption.toString());
        if (const Painted painted = paintPages(writer, report, rows, progress, &names);
            painted != Painted::Done) {
            return painted;
        }
    }
    pdf.close();
    const QByteArray bytes = names.applyTo(std::move(pdf.buffer()));
    // A large file goes out in pieces, with the events let through between them.
    constexpr qsizetype piece = 4 << 20;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        if (at > 0 && progress && !progress(rows.count(), rows.count())) {
            return Painted::Cancelled;
        }
        if (file.write(bytes.constData() + at, std::min(piece, bytes.size() - at)) < 0) {
            return Painted::Failed;
        }
    }
    return file.commit() ? Painted::Done : Painted::Failed;
}

} // namespace reports
