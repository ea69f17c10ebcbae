// The in-place editor of a bus's comparison at a comparison level: an operator and a value
// (">= 15") or an interval ("[3, 7]"). Losing focus commits a valid changed text in one undo
// unit; anything else is dropped silently and the old comparison stays.
#pragma once

#include "vokr_cell_edit.h"

class VOKR_COMPARISON_EDIT : public VOKR_CELL_EDIT {
    Q_OBJECT
public:
    VOKR_COMPARISON_EDIT(VOKR_VIEW* view, VOKR_TX_MANAGER* manager, int node, int column);

    // Both read the whole text; values are -1 when absent. False for a character outside the form
    // or a number above 2^31 - 1.
    bool parse_comparison(int* operand1, int* operand2, int* value1, int* value2) const;
    bool parse_interval(int* operand1, int* operand2, int* value1, int* value2) const;

private:
    void commit() override;
};
