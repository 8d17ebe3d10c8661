#pragma once

#include "Backups.h"

#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <functional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace contacts {

struct F_BF_Controls {
    explicit F_BF_Controls(ui::FormWidget* form);

    QLabel* lblBook; // which file is in use
    QLabel* Label1;
    QListWidget* lstBackups;
    QLabel* Label2; // when backups are made, and how many are kept
    QPushButton* cmdBackup;
    QPushButton* cmdRestore;
    QPushButton* cmdClose;
};

// 备份与恢复: the book file in use, its backups newest first; a backup
// made now, or one put back after a confirmation.
class F_BF final : public ui::FormOf<F_BF_Controls> {
public:
    explicit F_BF(const platform::Services& services);

    F_BF_Controls& controls() { return ui(); }

    // Around a restore: the windows that hold the file close before it
    // (false: one is being typed into, and nothing is restored), and the
    // card opens on the restored book after it.
    std::function<bool()> beforeRestore;
    std::function<void()> afterRestore;

    void cmdBackup_Click();
    void cmdRestore_Click();
    void cmdClose_Click();

protected:
    void Form_Load() override;
    void wireEvents(F_BF_Controls& controls) override;

private:
    void listBackups();

    const platform::Services& services_;
    std::vector<Backup> backups_;
};

} // namespace contacts
