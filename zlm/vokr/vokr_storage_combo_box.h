// The storage qualifier type list; the owning panel inserts the items.
#pragma once

#include <QComboBox>

class VOKR_STORAGE_COMBO_BOX : public QComboBox {
    Q_OBJECT
public:
    VOKR_STORAGE_COMBO_BOX();
signals:
    void input_port_selected(bool selected);         // "Input port"
    void storage_qualifier_selected(bool selected);  // anything but "Continuous"
public slots:
    void current_index_changed(const QString& text);
};
