#pragma once

#include "platform/ui/Form.h"

#include <QRect>
#include <QString>

class QPlainTextEdit;

namespace tables {

// What sets one reference table apart from the others.
struct TableDesign {
    QString name;     // F_QJHM
    QString caption;  // 全国电话号码区号
    QString box;      // the text box's name
    QRect boxTwips;   // the text box's place in twips
    double points;    // its font size
    QString resource; // the text
};

TableDesign F_QJHM();
TableDesign F_FB();
TableDesign F_FBYB();
TableDesign F_FBYB1();
TableDesign F_FBGJ();

struct ReferenceTable_Controls {
    explicit ReferenceTable_Controls(ui::FormWidget* form);

    QPlainTextEdit* text; // Text1 or T_FB: the reference text, editable, never saved
};

// A window that shows one reference text for reading. Each opening shows
// the text afresh; what the user types in it is not kept.
class ReferenceTable final : public ui::FormOf<ReferenceTable_Controls> {
public:
    explicit ReferenceTable(TableDesign design);

    ReferenceTable_Controls& controls() { return ui(); }
    const TableDesign& design() const { return design_; }

protected:
    void Form_Load() override;

private:
    TableDesign design_;
};

} // namespace tables
