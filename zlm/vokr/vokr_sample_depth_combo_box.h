// The sample depth list; the owning panel inserts the items ("0" for no sample storage first).
#pragma once

#include <QComboBox>

class VOKR_SAMPLE_DEPTH_COMBO_BOX : public QComboBox {
    Q_OBJECT
public:
    VOKR_SAMPLE_DEPTH_COMBO_BOX();
signals:
    // True for a depth above 0; false for "0" and for an emptied box.
    void sample_depth_selected(bool nonzero);
    // Only when "0" is chosen, always with false.
    void zero_sample_depth_selected(bool checked);
public slots:
    void current_index_changed(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
};
