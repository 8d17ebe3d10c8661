#pragma once

#include "Layout.h"

#include "platform/Progress.h"

class QPainter;
class QPrinter;

namespace reports {

// Draws one laid-out page; the painter's units are twips from the paper's
// top-left corner.
void paintPage(QPainter& painter, const Layout& layout, qsizetype page);

// Scales the painter so that one unit is one twip on its device.
void useTwips(QPainter& painter);

enum class Painted { Done, Cancelled, Failed };

// Both lay the report out anew for their paper and paint it a page at a
// time, each page laid out just before. Progress hears of every page, in
// rows placed of all rows; false from it stops the work.

// Every page onto the printer; a job cancelled or failed is aborted, and
// what it wrote of a file it prints to is removed.
Painted print(QPrinter& printer, const ReportDefinition& report, const ReportRows& rows,
              const platform::Progress& progress = {});

// The report as a PDF file at path, put in place only once whole: an
// export that fails or is cancelled leaves any earlier file as it was.
Painted exportPdf(const QString& path, const ReportDefinition& report, const ReportRows& rows,
                  const platform::Progress& progress = {});

} // namespace reports
