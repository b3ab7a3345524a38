// libFuzzer target for the LCD label's custom font reader (native build, see run_fuzz.sh).
// Whatever the bytes, the reader either refuses the header, accepts it, or raises EInOutError; an accepted
// header is always within the limits the painter relies on.
#include <cstdint>
#include <cstdlib>

#include "controls/lcd/LCDFont.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TMemoryStream stream;
    stream.LoadFromBytes(data, size);
    TCustomGlyphs glyphs;
    TCustomFontHeader header;
    bool ok = false;
    try {
        ok = ReadCustomFont(stream, glyphs, header);
    } catch (const EInOutError& e) {
        if (e.ErrorCode != 100) std::abort();
    }
    if (ok || !glyphs.Empty()) {
        if (!ValidCustomFontHeader(header) || glyphs.Columns() != header.Columns || glyphs.Rows() != header.Rows)
            std::abort();
        // Every dot of every code can be read, as the painter does.
        int lit = 0;
        for (int code = 0; code <= 255; ++code)
            for (int r = 1; r <= header.Rows; ++r)
                for (int k = 1; k <= header.Columns; ++k) lit += CustomDot(glyphs, code, r, k);
        if (lit > 256 * header.Rows * header.Columns) std::abort();
    }
    return 0;
}
