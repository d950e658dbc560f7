// The offer handler that the exports call: an interface whose constructor registers the object
// as the process's one handler (a later construction replaces it), and the game's handler,
// which shows the summary panel and runs the settings dialog.
#pragma once
#include "lobbyopts.h"

class CSettingsSummaryWnd;

class COfferHandler {
public:
    COfferHandler();
    virtual ~COfferHandler();
    COfferHandler(const COfferHandler&) = delete;
    COfferHandler& operator=(const COfferHandler&) = delete;

    virtual int32_t Open(HWND parent) = 0;
    virtual int32_t Close() = 0;
    virtual int32_t OnChanged(const OfferSettings* settings) = 0;
    virtual int32_t Modify(OfferSettings* settings) = 0;
    virtual int32_t Reserved(int32_t a, int32_t b, int32_t c) = 0;
    virtual int32_t NegotiationRequired() = 0;
    virtual int32_t ShutdownNegotiation(int32_t word) = 0;

    // The registered handler; null once it is gone.
    static COfferHandler* Registered();
};

class CGameOfferHandler : public COfferHandler {
public:
    explicit CGameOfferHandler(CSettingsSummaryWnd& summary);

    int32_t Open(HWND parent) override;
    int32_t Close() override;
    int32_t OnChanged(const OfferSettings* settings) override;
    int32_t Modify(OfferSettings* settings) override;
    int32_t Reserved(int32_t a, int32_t b, int32_t c) override;
    int32_t NegotiationRequired() override;
    int32_t ShutdownNegotiation(int32_t word) override;

private:
    CSettingsSummaryWnd& m_summary;
};
