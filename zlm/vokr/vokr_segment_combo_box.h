// The segment choices of a segmented acquisition, rebuilt from the sample depth list's index.
#pragma once

#include <QComboBox>

class VOKR_SEGMENT_COMBO_BOX : public QComboBox {
    Q_OBJECT
public:
    // The highest index of the sample depth list: 32 << 12 = 128 K samples.
    static constexpr int MAX_DEPTH_INDEX = 12;
public slots:
    // Index 0 or below leaves one disabled "0 segments"; otherwise one item per segment count
    // 2, 4, ... up to the depth (32 << index), as "count  size sample segments" with counts and
    // sizes of 1024 or more in K. Enabling is left to the owner.
    void sample_depth_changed(int index);
};
