// The plug-in's application object: one instance, constructed when the library is loaded and
// destroyed when it is unloaded, holding the offer handler and the summary panel.
#pragma once
#include "mfc.h"
#include "offer_handler.h"
#include "summary_wnd.h"

class COptionsApp : public CWinApp {
public:
    COptionsApp();
    BOOL InitInstance() override; // starts the service's client library
    int ExitInstance() override;  // stops it

    // The panel comes first so that it is built before the handler that holds it by reference.
    CSettingsSummaryWnd m_summary;
    CGameOfferHandler m_handler; // registers itself as the offer handler
};

extern COptionsApp theApp;
