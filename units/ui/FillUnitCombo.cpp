#include "FillUnitCombo.h"

#include "UnitLists.h"

#include <QComboBox>

void FillUnitCombo(int code, QComboBox *combo)
{
    if (!combo)
        return;
    combo->clear();
    combo->addItems(UnitListFor(code));
    combo->setCurrentIndex(0);
}
