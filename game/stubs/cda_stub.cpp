// Stand-in for the CD music: nothing plays; each call is recorded.
#include "stubs/cda_stub.h"

#include "stubs/trace.h"

int CDA_Open() {
    STUB_Trace("CDA_Open");
    return 1;
}

int CDA_Close() {
    STUB_Trace("CDA_Close");
    return 1;
}

int CDA_Stop() {
    STUB_Trace("CDA_Stop");
    return STUB_Result("CDA_Stop", 0);
}

int CDA_Resume() {
    STUB_Trace("CDA_Resume");
    return 0;
}

void CDA_OnNotify(WPARAM wParam) {
    STUB_Trace("CDA_OnNotify", "%lu", static_cast<unsigned long>(wParam));
}
