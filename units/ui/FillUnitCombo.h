#pragma once

class QComboBox;

// Clears the combo, fills it with the unit list of a quantity code and selects
// the first item.
void FillUnitCombo(int code, QComboBox *combo);
