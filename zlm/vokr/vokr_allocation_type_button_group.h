// The "Auto" (id 0) / "Manual:" (id 1) pair of one allocated-nodes count. It drives the count's
// allocation object and enables the manual count's spin box; it owns neither.
#pragma once

#include <QButtonGroup>

class QSpinBox;
class VOKR_NODE_ALLOCATION_IF;

class VOKR_ALLOCATION_TYPE_BUTTON_GROUP : public QButtonGroup {
    Q_OBJECT
public:
    VOKR_ALLOCATION_TYPE_BUTTON_GROUP(QObject* parent, VOKR_NODE_ALLOCATION_IF* allocation);
    void set_spin_box(QSpinBox* spin_box) { m_spin_box = spin_box; }
public slots:
    // "Auto" notifies the views and makes the count automatic even when it already is;
    // "Manual:" hands the spin box's value over.
    void rbuttonclicked(int id);

private:
    VOKR_NODE_ALLOCATION_IF* m_allocation;
    QSpinBox* m_spin_box = nullptr;
};
