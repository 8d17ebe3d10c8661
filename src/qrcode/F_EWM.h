#pragma once

#include "CardCode.h"

#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <functional>
#include <optional>

class QLabel;
class QPrinter;
class QPushButton;

namespace qrcode {

struct F_EWM_Controls {
    explicit F_EWM_Controls(ui::FormWidget* form);

    QLabel* lblName;    // whose card it is
    QLabel* picCode;    // the code, whole modules of screen pixels
    QLabel* lblLeftOut; // what did not fit into the code
    QPushButton* cmdPrint;
    QPushButton* cmdSave;
    QPushButton* cmdClose;
};

// 名片二维码: a contact as a QR code that a phone's camera adds to its
// contacts, to print or to save as a picture.
class F_EWM final : public ui::FormOf<F_EWM_Controls> {
public:
    explicit F_EWM(const platform::Services& services);

    F_EWM_Controls& controls() { return ui(); }
    // What the window shows; none before it first showed a card.
    const std::optional<CardCode>& card() const { return card_; }

    // Opens the window on the card of this row of table yanshu; a contact
    // whose card cannot be made is told of instead.
    void showFor(qint64 rowId);

    // Asks where to print; false when the user cancels. The print dialog,
    // unless told otherwise.
    std::function<bool(QPrinter&)> choosePrinter;

    void cmdPrint_Click();
    void cmdSave_Click();
    void cmdClose_Click();

protected:
    void Form_Load() override;
    void wireEvents(F_EWM_Controls& controls) override;

private:
    void showCard();
    void tell(const QString& text);

    const platform::Services& services_;
    std::optional<CardCode> card_;
    QString name_;
};

} // namespace qrcode
