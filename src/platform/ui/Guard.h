#pragma once

#include "MessageBox.h"

#include "platform/db/DbError.h"

#include <QtGlobal>

namespace ui {

// Runs one user action. A database failure is shown to the user and
// abandons the action; the window stays usable. True when it went through.
template <class Action> bool guarded(MessageBoxService& messageBox, Action&& action) {
    try {
        action();
        return true;
    } catch (const db::DbError& e) {
        qWarning("%s", qUtf8Printable(e.detail())); // the engine's words, for whoever debugs it
        messageBox.show(e.userMessage(), {}, Buttons::Ok, Icon::Critical);
        return false;
    }
}

} // namespace ui
