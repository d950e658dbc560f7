// Stand-in for the interface pictures: loads nothing; calls for a type in 0..149 are recorded.
#include "stubs/trace.h"
#include "ui/img.h"

int IMG_LoadObjectIcons(int type) {
    if (type < 0 || type > 149)
        return 0;
    STUB_Trace("IMG_LoadObjectIcons", "%d", type);
    return 0;
}
