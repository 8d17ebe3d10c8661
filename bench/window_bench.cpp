// Times each command that opens a window of its own, from choosing the menu
// item to the window on view: the first opening in the run and the median
// and slowest of 20 more (closed in between), with 100,000 contacts in the
// file (the account dialog reads only the user table). The about box's
// figures hold its opening animation, and its 确定 its closing one; on the
// offscreen platform there is no animation, so run it on a display too.
// Then the toolbar buttons that reach the card or the calendar, from the
// click to the result: a step each way (also with the card closed first,
// which loads it again), the find by name and the calendar.
//
//   make bench            (or: build/bin/window_bench)

#include "BenchData.h"

#include "app/Forms.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
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

// Milliseconds for one toolbar button, its pending paint included.
double clickOnce(app::Forms& forms, int index) {
    QElapsedTimer timer;
    timer.start();
    forms.MDI_OK.controls().button(index)->trigger();
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The median and slowest of 20 clicks, each after the set-up given.
void measureButton(QTextStream& out, const char* what, const std::function<double()>& click) {
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        times.push_back(click());
    }
    std::sort(times.begin(), times.end());
    out << "  " << what << ": median " << times[times.size() / 2] << " ms, slowest " << times.back()
        << " ms\n";
}

void measureToolbar(QTextStream& out, app::Forms& forms) {
    out << "toolbar button to result (100,000 contacts):\n";
    forms.F_EDIT.show();
    QCoreApplication::processEvents();
    measureButton(out, "3 前进", [&] { return clickOnce(forms, 3); });
    measureButton(out, "2 后退", [&] { return clickOnce(forms, 2); });
    measureButton(out, "3 前进, card closed", [&] {
        forms.F_EDIT.unload();
        return clickOnce(forms, 3);
    });
    measureButton(out, "2 后退, card closed", [&] {
        forms.F_EDIT.unload();
        return clickOnce(forms, 2);
    });
    measureButton(out, "4 查询 (a name of 100,000)", [&] {
        forms.F_EDIT.controls().Text_Cs->setText(bench::contactName(77777, 100000));
        return clickOnce(forms, 4);
    });
    measureButton(out, "10 日历", [&] {
        const double ms = clickOnce(forms, 10);
        forms.frmcalendar.unload();
        return ms;
    });
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

// 生日提醒's 90 days: from the choice to the list shown, and the longest
// the window went without handling its events meanwhile.
void measureBirthdays(QTextStream& out, app::Forms& forms) {
    auto& window = forms.F_SRTX;
    const auto reckoned = [&] {
        double longest = 0;
        while (window.reckoning()) {
            QElapsedTimer step;
            step.start();
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
            longest = std::max(longest, double(step.nsecsElapsed()) / 1e6);
        }
        return longest;
    };
    window.show();
    reckoned();
    QElapsedTimer timer;
    timer.start();
    window.controls().optDays90->click();
    const double longest = reckoned();
    out << "  生日提醒 90天内 (" << window.controls().birthdays->rowCount()
        << " birthdays): listed in " << double(timer.nsecsElapsed()) / 1e6
        << " ms, longest event wait " << longest << " ms\n";
    window.unload();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    bench::makeDatabase(dir.path(), argc > 1 ? QByteArray(argv[1]).toInt() : 100000);
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
    measure(out, forms, "VIEW_SR", forms.F_SRTX);
    measureBirthdays(out, forms);
    forms.F_GY.show();
    QElapsedTimer timer;
    timer.start();
    forms.F_GY.Command1_Click();
    out << "  F_GY 确定 to closed: " << double(timer.nsecsElapsed()) / 1e6 << " ms\n";
    measureToolbar(out, forms);
    return 0;
}
