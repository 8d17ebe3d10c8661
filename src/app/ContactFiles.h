#pragma once

#include "contacts/Duplicates.h"
#include "platform/Services.h"

#include <functional>
#include <memory>
#include <vector>

namespace db {
class Connection;
}
namespace contacts {
class BookChanges;
}

namespace app {

// The menu commands that bring contacts in from a file and write them out,
// with the system's file dialogs and a progress window for long work. Each
// opens the book through `open`, which has said what went wrong when it
// gives nothing.
class ContactFiles {
public:
    using Open = std::function<std::unique_ptr<db::Connection>()>;
    // An import tells `changes`.
    ContactFiles(const platform::Services& services, Open open, contacts::BookChanges& changes);

    // True when the book may have changed.
    bool importContacts();
    void exportContacts();

    // Shows the groups in which an import's contacts pair with those the
    // book had, when the user asks to review them.
    std::function<void(std::vector<contacts::DuplicateGroup>)> reviewDuplicates;

private:
    void offerReview(db::Connection& connection, qint64 firstAdded);

    const platform::Services& services_;
    Open open_;
    contacts::BookChanges& changes_;
    QString folder_; // where the dialogs open: the last file's, for the run
};

} // namespace app
