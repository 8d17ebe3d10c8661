// Times each command that opens a window of its own, from choosing the menu
// item to the window on view: the first opening in the run and the median
// and slowest of 20 more (closed in between), with 100,000 contacts in the
// file (the account dialog reads only the user table). The about box's
// figures hold its opening animation, and its 确定 its closing one; on the
// offscreen platform there is no animation, so run it on a display too.
//
//   make bench            (or: build/bin/window_bench)

#include "BenchData.h"

#include "app/Forms.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

// Milliseconds from triggering the item until the form's window is visible
// and its pending paint is done; -1 when the window never came.
double openOnce(app::Forms& forms, const char* item, ui::Form& form) {
    QElapsedTimer timer;
    timer.start();
    forms.MDI_OK.controls().item(item)->trigger();
    QCoreApplication::processEvents();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    const bool shown = form.isLoaded() && form.window()->isVisible();
    form.unload();
    QCoreApplication::processEvents();
    return shown ? elapsed : -1;
}

void measure(QTextStream& out, app::Forms& forms, const char* item, ui::Form& form) {
    const double first = openOnce(forms, item, form);
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        times.push_back(openOnce(forms, item, form));
    }
    std::sort(times.begin(), times.end());
    out << "  " << item << " → " << form.name() << ": first " << first << " ms, median "
        << times[times.size() / 2] << " ms, slowest " << times.back() << " ms\n";
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    bench::makeDatabase(dir.path(), 100000);
    const bench::BenchServices doubles(dir.path());
    app::Forms forms(doubles.services);
    forms.MDI_OK.show();
    QCoreApplication::processEvents();
    out << "command to window shown:\n";
    measure(out, forms, "FILE_2", forms.F_XGYH);
    measure(out, forms, "F_FBrl", forms.frmcalendar);
    measure(out, forms, "FB_1", forms.F_QJHM);
    measure(out, forms, "FB_2", forms.F_FB);
    measure(out, forms, "F_FByh", forms.F_FBYB);
    measure(out, forms, "F_FByh1", forms.F_FBYB1);
    measure(out, forms, "F_FBGJd", forms.F_FBGJ);
    measure(out, forms, "HELP_1", forms.F_GY);
    forms.F_GY.show();
    QElapsedTimer timer;
    timer.start();
    forms.F_GY.Command1_Click();
    out << "  F_GY 确定 to closed: " << double(timer.nsecsElapsed()) / 1e6 << " ms\n";
    return 0;
}
