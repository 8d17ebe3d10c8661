#include "Paint.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

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

} // namespace

void useTwips(QPainter& painter) {
    const QPaintDevice* device = painter.device();
    painter.scale(device->logicalDpiX() / 1440.0, device->logicalDpiY() / 1440.0);
}

void paintPage(QPainter& p, const Layout& layout, qsizetype page) {
    const int margin = layout.report().margin;
    const PageItems items = layout.items(page);
    p.save();
    p.setPen(QPen(Qt::black, penWidth)); // square caps: the stroke the layout keeps text clear of
    p.translate(margin, margin);
    for (const QLineF& line : items.lines) {
        p.drawLine(line);
    }
    for (const TextItem& text : items.texts) {
        drawText(p, text);
    }
    p.restore();
}

bool paintAll(QPagedPaintDevice& device, const ReportDefinition& report, const ReportRows& rows) {
    device.setPageMargins(QMarginsF(0, 0, 0, 0));
    const QRectF paper = device.pageLayout().fullRect(QPageLayout::Point);
    Layout layout(report, rows, qRound(paper.height() * 20));
    layout.finish();
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    useTwips(painter);
    for (qsizetype page = 0; page < qsizetype(layout.pages().size()); ++page) {
        if (page > 0 && !device.newPage()) {
            return false;
        }
        paintPage(painter, layout, page);
    }
    return painter.end();
}

bool exportPdf(const QString& path, const ReportDefinition& report, const ReportRows& rows) {
    // Written aside and put in place whole: a failure leaves any earlier file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(1440);
        writer.setCreator(QStringLiteral("雁书簿"));
        writer.setTitle(report.caption.toString());
        if (!paintAll(writer, report, rows)) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

} // namespace reports
