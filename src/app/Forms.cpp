#include "Forms.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace app {

Forms::Forms(const platform::Services& services)
    : services(services)
    , F_LOGO(services, [this] { afterSplash(); })
    , F_XJ(services)
    , MDI_OK(services, *this)
    , F_EDIT(services, bookChanges)
    , F_LIST(services)
    , F_DL(services, *this)
    , DYGE(reports::DYGE(), services)
    , YANSHUALL(reports::YANSHUALL(), services)
    , F_XGYH(services)
    , F_BF(services)
    , F_TB(services)
    , F_TBJL(services)
    , F_QTXX(services, bookChanges)
    , F_EWM(services)
    , F_CF(services, bookChanges)
    , F_HB(services, bookChanges)
    , frmcalendar(services)
    , F_SRTX(services)
    , F_QJHM(tables::F_QJHM())
    , F_FB(tables::F_FB())
    , F_FBYB(tables::F_FBYB())
    , F_FBYB1(tables::F_FBYB1())
    , F_FBGJ(tables::F_FBGJ()) {
    // The two child windows live in the main window, which loading either brings up.
    for (ui::Form* child : {static_cast<ui::Form*>(&F_EDIT), static_cast<ui::Form*>(&F_DL)}) {
        child->setMdiArea([this] { return MDI_OK.childArea(); });
    }
    F_EDIT.popUpMenu = [this](QPoint at) { MDI_OK.popUpMenuedit(at); };
    F_CF.openMerge = [this](const std::vector<qint64>& rows) { F_HB.showFor(rows); };
    F_HB.merged = [this](const std::vector<qint64>& rows, const std::vector<qint64>& now,
                         bool merged) { F_CF.groupMerged(rows, now, merged); };
    F_EDIT.closeProgram = [this] {
        unloadTopLevelWindows();
        MDI_OK.unload();
    };
    // The windows that show the book follow its changes, whoever made them.
    QObject::connect(&bookChanges, &contacts::BookChanges::changed, [this] {
        F_LIST.refresh();
        F_BF.followBook();
        MDI_OK.followUndo();
    });
    F_EDIT.findSimilar = [this](const QString& typed) { F_LIST.showFound(typed); };
    F_LIST.showContact = [this](qint64 rowId) { F_EDIT.showContact(rowId); };
    F_LIST.showExtras = [this](qint64 rowId) { F_QTXX.showFor(rowId); };
    F_LIST.showCode = [this](qint64 rowId) { F_EWM.showFor(rowId); };
    frmcalendar.showBirthdays = [this] { F_SRTX.show(); };
    F_XJ.created = [this] { F_DL.show(); };
    help.setFact(QStringLiteral("通讯录文件"), QDir::toNativeSeparators(services.databaseFile));
    // The windows that read the book close while it is replaced; the card
    // opens on the book restored, and the list, if it was open, with the
    // card on the contact it selects.
    F_BF.owner = [this] { return MDI_OK.window(); };
    auto listWasOpen = std::make_shared<bool>(false);
    F_BF.beforeRestore = [this, listWasOpen] {
        if (F_EDIT.editing()) {
            return false;
        }
        *listWasOpen = F_LIST.isLoaded();
        F_LIST.unload();
        F_QTXX.unload();
        F_EDIT.unload();
        return true;
    };
    F_BF.afterRestore = [this, listWasOpen] {
        F_EDIT.show();
        F_EDIT.setMode(contacts::F_EDIT::Mode::Browse);
        MDI_OK.followUndo(); // the book put back keeps its own deletions
        if (*listWasOpen) {
            F_LIST.show();
            F_LIST.grdList_DblClick();
        }
    };
}

void Forms::afterSplash() {
    if (QFileInfo::exists(services.databaseFile)) {
        F_DL.show();
    } else {
        F_XJ.show();
    }
}

void Forms::unloadTopLevelWindows() {
    for (ui::Form* form : std::initializer_list<ui::Form*>{
             &F_LIST, &F_BF, &F_TB, &F_TBJL, &F_QTXX, &F_EWM, &F_CF, &F_HB, &frmcalendar, &F_SRTX,
             &F_QJHM, &F_FBYB1, &F_FBYB, &F_FBGJ, &F_FB, &F_GY}) {
        form->unload();
    }
    help.close();
}

} // namespace app
