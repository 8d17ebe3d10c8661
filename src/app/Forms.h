#pragma once

#include "F_DL.h"
#include "F_LOGO.h"
#include "MDI_OK.h"

#include "account/F_XGYH.h"
#include "account/F_XJ.h"
#include "birthdays/F_SRTX.h"
#include "calendar/frmcalendar.h"
#include "contacts/F_BF.h"
#include "contacts/F_CF.h"
#include "contacts/F_EDIT.h"
#include "contacts/F_HB.h"
#include "contacts/F_LIST.h"
#include "contacts/F_QTXX.h"
#include "platform/Services.h"
#include "platform/ui/Help.h"
#include "qrcode/F_EWM.h"
#include "reports/DataReport.h"
#include "sync/F_TB.h"
#include "sync/F_TBJL.h"
#include "tables/F_GY.h"
#include "tables/ReferenceTable.h"

namespace app {

// The one object of each window class, for the whole run.
class Forms {
public:
    explicit Forms(const platform::Services& services);

    // Closes the windows of their own that the main window opened, as
    // quitting does, and the help; the account dialog stays until the user
    // closes it.
    void unloadTopLevelWindows();

    // After the splash: the login, or first the making of a new book when
    // there is none.
    void afterSplash();

    const platform::Services& services;
    app::F_LOGO F_LOGO;
    account::F_XJ F_XJ;
    app::MDI_OK MDI_OK;
    // What the windows that show the book follow.
    contacts::BookChanges bookChanges;
    contacts::F_EDIT F_EDIT;
    contacts::F_LIST F_LIST;
    app::F_DL F_DL;
    reports::DataReport DYGE;
    reports::DataReport YANSHUALL;
    account::F_XGYH F_XGYH;
    contacts::F_BF F_BF;
    carddav::F_TB F_TB;
    carddav::F_TBJL F_TBJL;
    contacts::F_QTXX F_QTXX;
    qrcode::F_EWM F_EWM;
    contacts::F_CF F_CF;
    contacts::F_HB F_HB;
    calendar::frmcalendar frmcalendar;
    birthdays::F_SRTX F_SRTX;
    tables::ReferenceTable F_QJHM;
    tables::ReferenceTable F_FB;
    tables::ReferenceTable F_FBYB;
    tables::ReferenceTable F_FBYB1;
    tables::ReferenceTable F_FBGJ;
    tables::F_GY F_GY;
    // F1 in any window opens it.
    ui::Help help;
};

} // namespace app
