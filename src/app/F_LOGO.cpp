#include "F_LOGO.h"

#include "platform/ProgramInstance.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Twips.h"

#include <QLabel>
#include <QTimer>

namespace app {

namespace {

QLabel* whiteLabel(ui::FormWidget* form, QStringView name, const QString& caption) {
    QLabel* label = ui::label(form, name, caption);
    ui::setTextColour(label, Qt::white);
    return label;
}

} // namespace

F_LOGO_Controls::F_LOGO_Controls(ui::FormWidget* form) {
    form->setWindowTitle(QStringLiteral("雁书簿"));
    form->setFixedSize(ui::px(6000), ui::px(3015));

    Image1 = ui::make<QLabel>(form, u"Image1");
    Image1->setPixmap(ui::splashPicture(form->devicePixelRatioF()));
    Image1->setScaledContents(true);
    ui::place(Image1, 0, 0, 6000, 3000);

    Label1 = whiteLabel(form, u"Label1", QStringLiteral("© 2026 雁书簿项目"));
    Label1->setFont(ui::font(u"宋体", 9));
    ui::place(Label1, 2880, 1680, 2610, 180);

    Label2 = whiteLabel(form, u"Label2", QStringLiteral(">>=---> "));
    Label2->setFont(ui::font(u"宋体", 7.5, true));
    ui::place(Label2, 720, 2760, 720, 150);

    Timer2 = ui::timer(form, u"Timer2", 88);
    Timer1 = ui::timer(form, u"Timer1", 2500, Qt::PreciseTimer);
}

F_LOGO::F_LOGO(const platform::Services& services, std::function<void()> handOver)
    : FormOf(QStringLiteral("F_LOGO"))
    , services_(services)
    , handOver_(std::move(handOver)) {}

void F_LOGO::wireEvents(F_LOGO_Controls& controls) {
    QObject::connect(controls.Timer1, &QTimer::timeout, [this] { Timer1_Timer(); });
    QObject::connect(controls.Timer2, &QTimer::timeout, [this] { Timer2_Timer(); });
}

void F_LOGO::Form_Load() {
    setTop(3000);
    setLeft(2800);
    if (services_.instance.previousInstance()) {
        unload();
    }
}

void F_LOGO::Timer2_Timer() {
    QLabel* label = ui().Label2;
    if (ui::left(label) > width()) {
        ui::setLeft(label, ui::width(label));
    }
    ui::setLeft(label, ui::left(label) + 1000);
}

void F_LOGO::Timer1_Timer() {
    // Off the screen first: a start-up failure the login meets shows alone.
    window()->hide();
    if (handOver_) {
        handOver_();
    }
    unload();
}

} // namespace app
