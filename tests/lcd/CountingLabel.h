// An LCD label that counts its paints, so a test or benchmark can tell whether a setter drew.
#pragma once

#include "controls/lcd/LCD_Lab.h"

class TCountingLabel : public TLCDLabel {
public:
    using TLCDLabel::TLCDLabel;
    int Paints = 0;

protected:
    void Paint() override
    {
        ++Paints;
        TLCDLabel::Paint();
    }
};
