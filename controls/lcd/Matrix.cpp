#include "controls/lcd/Matrix.h"

namespace {

struct TTable {
    const std::uint8_t* Data;
    TMatrixInfo Info;
};

const TTable& TableFor(TDotMatrix set)
{
    static const TTable tables[] = {
        {Ascii5x7Table, {5, 7, 32, 126}},   {Ascii5x8Table, {5, 8, 32, 126}},
        {Ascii7x9Table, {7, 9, 32, 126}},   {Ascii9x12Table, {9, 12, 32, 126}},
        {Module5x7Table, {5, 7, 32, 223}},  {Module5x10Table, {5, 10, 194, 223}},
        {Pc5x7Table, {5, 7, 0, 255}},
    };
    switch (set) {
    case mat5x8: return tables[1];
    case mat7x9: return tables[2];
    case mat9x12: return tables[3];
    case Hitachi: return tables[4];
    case Hitachi2: return tables[5];
    case dos5x7: return tables[6];
    default: return tables[0];
    }
}

bool TableDot(const TTable& t, int code, int row, int column)
{
    const TMatrixInfo& i = t.Info;
    if (code < i.FirstCode || code > i.LastCode || row < 1 || row > i.Rows || column < 1 || column > i.Columns)
        return false;
    return t.Data[(code - i.FirstCode) * i.Columns * i.Rows + (row - 1) * i.Columns + (column - 1)] == 1;
}

}  // namespace

TMatrixInfo MatrixInfo(TDotMatrix set)
{
    switch (set) {
    case Hitachi2: return {5, 10, 32, 223};  // module 5x7 below 194, its own 5x10 table from there
    case CustomFont: return {0, 0, 0, 0};
    default: return TableFor(set).Info;
    }
}

bool MatrixDot(TDotMatrix set, int code, int row, int column)
{
    if (set == CustomFont) return false;
    if (set == Hitachi2) {
        // The low codes have only seven rows: rows 8 to 10 stay dark under them.
        if (code < 194) return TableDot(TableFor(Hitachi), code, row, column);
        return TableDot(TableFor(Hitachi2), code, row, column);
    }
    return TableDot(TableFor(set), code, row, column);
}
