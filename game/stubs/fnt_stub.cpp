// Stand-in for the interface's text drawing: draws nothing; each text is recorded.
#include "stubs/fnt_stub.h"

#include "stubs/trace.h"

int FNT_DrawText(const char* text, int x, int y, int alignment, int font) {
    if (!text || alignment < 0 || alignment > 4)
        return 0;
    STUB_Trace("FNT_DrawText", "%s,%d,%d,%d,%d", text, x, y, alignment, font);
    return 1;
}
