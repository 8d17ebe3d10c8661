#pragma once

#include "Layout.h"

class QPainter;
class QPagedPaintDevice;

namespace reports {

// Draws one laid-out page; the painter's units are twips from the paper's
// top-left corner.
void paintPage(QPainter& painter, const Layout& layout, qsizetype page);

// Scales the painter so that one unit is one twip on its device.
void useTwips(QPainter& painter);

// Every page onto a printer or a PDF writer, laid out anew for its paper.
// False when the device would not take them.
bool paintAll(QPagedPaintDevice& device, const ReportDefinition& report, const ReportRows& rows);

// The report as a PDF file at path; false when it could not be written.
bool exportPdf(const QString& path, const ReportDefinition& report, const ReportRows& rows);

} // namespace reports
