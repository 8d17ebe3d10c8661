#pragma once

#include "platform/Services.h"
#include "platform/ui/Form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace contacts {
class BookChanges;
}

namespace db {
class Connection;
}

namespace carddav {

struct F_TB_Controls {
    explicit F_TB_Controls(ui::FormWidget* form);

    QLabel* Label1;
    QLineEdit* txtServer;
    QLabel* Label2;
    QLineEdit* txtUser;
    QLabel* Label3;
    QLineEdit* txtPassword;
    QLabel* Label4;
    QComboBox* cboBook; // the address books found, by name; the address as data
    QPushButton* cmdFind;
    QCheckBox* chkAuto;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

// 同步设置: the CardDAV server, the user, the password and the address book
// the book syncs with, and whether it syncs at login and exit too. 查找
// lists the user's address books (when there is none, 确定 makes one
// called 雁书簿); the password goes to the system's store, never into the
// book.
class F_TB final : public ui::FormOf<F_TB_Controls> {
public:
    explicit F_TB(const platform::Services& services);

    F_TB_Controls& controls() { return ui(); }

    void cmdFind_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void Form_Load() override;
    void wireEvents(F_TB_Controls& controls) override;

private:
    bool findBooks(bool makeIfNone);

    const platform::Services& services_;
};

enum class SyncStart { Asked, Automatic };

// 立即同步: syncs the book with its account while the progress window
// offers 取消, the password from the system's store or else asked for, and
// says what it did; the log keeps that. False when nothing was synced: no
// account (the user is told to set one), no password, or a failure it has
// shown. Started automatically (at login and exit), it does nothing unless
// the account asks for it, and says only failures and notes.
bool syncNow(const platform::Services& services, contacts::BookChanges& changes,
             SyncStart start = SyncStart::Asked);

} // namespace carddav
