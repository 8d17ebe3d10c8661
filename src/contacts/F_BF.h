#pragma once

#include "Backups.h"

#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace contacts {

struct F_BF_Controls {
    explicit F_BF_Controls(ui::FormWidget* form);

    QLabel* lblBook; // which file is in use
    QLabel* Label1;
    QTreeWidget* lstBackups; // time, contacts, size
    QLabel* Label2;          // when backups are made, and how many are kept
    QPushButton* cmdBackup;
    QPushButton* cmdRestore;
    QPushButton* cmdClose;
};

// 备份与恢复: the book file in use, its backups newest first; a backup
// made now, or one put back after a confirmation. It opens centred over
// the main window and, as a window of it, stays in front of it.
class F_BF final : public ui::FormOf<F_BF_Controls> {
public:
    explicit F_BF(const platform::Services& services);
    ~F_BF() override;
    F_BF(const F_BF&) = delete;
    F_BF& operator=(const F_BF&) = delete;

    // The main window, which it is placed over; empty: on its own.
    std::function<QWidget*()> owner;

    F_BF_Controls& controls() { return ui(); }

    // Around a restore: the windows that hold the file close before it
    // (false: one is being typed into, and nothing is restored), and the
    // card opens on the restored book after it.
    std::function<bool()> beforeRestore;
    std::function<void()> afterRestore;

    // After the book has changed, which may have taken a backup: the list
    // shows it, if the window is open.
    void followBook();

    void cmdBackup_Click();
    void cmdRestore_Click();
    void cmdClose_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void wireEvents(F_BF_Controls& controls) override;

private:
    void listBackups();
    void countContacts();
    void stopCounting();
    int chosenRow();

    const platform::Services& services_;
    std::vector<Backup> backups_;
    // Set when the counts on their way are for a list no longer shown.
    std::shared_ptr<std::atomic_bool> countingStopped_;
};

} // namespace contacts
