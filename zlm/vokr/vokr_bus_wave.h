// The process-wide buffer of one bus's samples: a row of bools per member, read by VOKR_NUMBER
// as bit rows. Rows and their lengths only grow, so a bus of a capture as large as any before
// costs no allocation. GUI thread only.
#pragma once

#include "vokr_number.h"

#include <memory>
#include <vector>

class VOKR_BUS_WAVE {
public:
    // Row `member`, with room for `depth` samples at least.
    static bool* row(int member, int depth);
    // The first `width` rows as the bit rows of a VOKR_NUMBER; valid until the next row() call.
    static VOKR_BIT_ROWS bit_rows(int width);

private:
    struct ROW {
        std::unique_ptr<bool[]> samples;
        int capacity = 0;
    };
    static std::vector<ROW>& rows();
    static std::vector<const unsigned char*>& views();
};
