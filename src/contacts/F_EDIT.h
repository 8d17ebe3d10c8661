#pragma once

#include "ContactColumns.h"
#include "ContactStore.h"

#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/ui/Form.h"

#include <QPoint>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace contacts {

struct F_EDIT_Controls {
    explicit F_EDIT_Controls(ui::FormWidget* form);

    // The 21 data controls in column order, TGR_XM to TGR_BZ.
    std::array<QWidget*, fieldCount> data;
    QComboBox* CGR_XB;
    QPlainTextEdit* TGR_BZ;
    QLabel* Label26; // holds the current record's Id

    QPushButton* Command1; // 添加
    QPushButton* Command2; // 取消
    QPushButton* Command3; // 修改
    QPushButton* Command4; // 继续浏览联系人记录
    QLineEdit* Text_Cs;
    QLabel* Label22;
    QLabel* Label23;
    QLabel* Label24;
    QLabel* Label25;
    QTimer* Timer1;
};

// The contact card: shows one contact of its record set over yanshu and is
// put into a mode by the main window; its own buttons finish each action.
class F_EDIT final : public ui::FormOf<F_EDIT_Controls> {
public:
    // Its writes tell `changes`.
    F_EDIT(const platform::Services& services, BookChanges& changes);

    // What the main window touches: the controls (loading the card first).
    F_EDIT_Controls& controls() { return ui(); }

    // Where the main window's pop-up menu is to open, for a right press on
    // the card's background.
    std::function<void(QPoint globalPosition)> popUpMenu;
    // What quitting does once the user has confirmed it.
    std::function<void()> closeProgram;
    // Shows the contacts whose name, pinyin, telephone... hold the text,
    // when no name is exactly that.
    std::function<void(const QString& typed)> findSimilar;

    void XSZ();   // data controls on
    void XSJ();   // data controls off
    void XSK();   // data controls emptied
    void PD();    // an empty set: say so and offer an addition
    void XSZL();  // current row → boxes
    bool ADDTJ(); // boxes → a new row; true when stored
    bool XG();    // boxes → the current row; true when stored
    void Cx();    // find by the name in Text_Cs
    void G1();    // next contact, or a message at the end
    void G2();    // previous contact, or a message at the start
    void DEL1();  // delete the current contact after asking
    void EXITX(); // ask, then quit the program
    // The CD drive; only the disc test shows anything on the card.
    bool FindCdrom();
    void OpenCdrom();
    void CloseCdrom();
    void CCDROM();

    // After the book has changed under the card (an import): it opens again
    // on the first contact, unless the user is typing into it.
    void showBook();
    // Browses the whole book from this row of yanshu, as chosen in the
    // contact list; not while the user is typing into the card.
    void showContact(qint64 rowId);
    // Puts the contact deleted last back, with its number and UID, and
    // shows it; again for the one before, and so on, across runs.
    void undoDelete();
    bool canUndoDelete();
    // The row of yanshu the card shows; none on an empty or closed book.
    std::optional<qint64> currentRow() const;

    // The card's mode, which its caption names. After 修改 or 取消 the card
    // is read-only but keeps the mode it had until another is set.
    enum class Mode { None, Browse, Add, Modify, Delete };
    Mode mode() const { return mode_; }
    void setMode(Mode mode);

    // The set-ups of add and modify mode; callers differ in a step or two.
    enum class AddFrom { Menu, Toolbar, EmptyTable };
    void enterAddMode(AddFrom from);
    void enterModifyMode(bool fromToolbar);

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Text_Cs_Click();
    void Timer1_Timer();

    // The help line that scrolls along the bottom of the card.
    static QString helpText();
    // A contact is being added or changed on the card.
    bool editing();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void Form_MouseDown(QMouseEvent* event) override;
    void wireEvents(F_EDIT_Controls& controls) override;

private:
    // While a contact is being added or changed: brings the card up, says
    // that goes first, and is true.
    bool busyEditing();
    void offerSimilar(const QString& name);
    void setDataEnabled(bool enabled);
    void step(bool forward);
    Contact typed();
    void disableEditing(bool modifyToo);
    void sendDoorCommand(const QString& command);
    template <class Action> bool guarded(Action&& action);

    const platform::Services& services_;
    db::Connection connection_;
    ContactStore store_;
    Mode mode_ = Mode::None; // none on loading, with an empty caption
};

} // namespace contacts
