#pragma once

#include <QString>

class QLineEdit;

namespace db {
class Recordset;
}
namespace ui {
class MessageBoxService;
}

namespace account {

// Reopens the set, on the connection it was last opened on, with the rows of
// mab that carry the name (names compare without regard to letter case).
// The name is bound, never pasted into the query: quotes are just letters.
void openUser(db::Recordset& users, const QString& name);

// Whether the current row holds exactly this password, compared as stored:
// plain text, letter case counting. No current row or no stored password
// never matches.
bool holdsPassword(const db::Recordset& users, const QString& password);

// Whether both a name and a password are typed; if not, says which is
// missing ("用户名不能为空" or "用户密码不能为空") and puts the focus there.
bool bothTyped(ui::MessageBoxService& messageBox, QLineEdit* name, QLineEdit* password);

} // namespace account
