#include "BookLocation.h"
#include "Forms.h"

#include "platform/CdDevice.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/ProgramInstance.h"
#include "platform/ProgramStarter.h"
#include "platform/Secrets.h"
#include "platform/Termination.h"
#include "platform/ui/Application.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/InputBox.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::setUpApplication();

    ui::QtMessageBox messageBox;
    ui::QtInputBox inputBox;
    ui::QtFileDialog fileDialog;
    ui::QtProgress progress;
    platform::SystemClock clock;
    platform::SystemProgramInstance instance(QCoreApplication::applicationFilePath());
    platform::SystemProgramStarter programs;
    platform::SystemCdDevice cdrom;
    platform::SystemKeyboard keyboard;
    const std::optional<QString> book = app::locateBook(
        QCoreApplication::arguments().mid(1), QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (!book) {
        messageBox.show(app::commandLineHelp(), ui::applicationTitle());
        return 2;
    }
    const std::unique_ptr<platform::Secrets> secrets = platform::systemSecrets();
    const platform::Services services{messageBox, inputBox, fileDialog, progress, clock, instance,
                                      programs,   cdrom,    keyboard,   *secrets, *book};

    app::Forms forms(services);
    forms.F_LOGO.show();
    if (!forms.F_LOGO.isLoaded()) {
        return 0; // another copy runs: leave without a word
    }
    // Leaves every event loop, a message box's too; the windows close only
    // then, so that no handler goes on over a window already gone.
    platform::onTerminationRequest([] { QApplication::quit(); });
    const int code = QApplication::exec();
    QApplication::closeAllWindows(); // each window closes as if by its close box
    return code;
}
