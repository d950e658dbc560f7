// The summary panel that lies over the lobby's own panel and lists the working copy's settings.
#pragma once
#include "mfc.h"

class CSettingsSummaryWnd : public CWnd {
protected:
    BOOL OnEraseBkgnd(CDC* dc) override; // black
    void OnPaint() override;             // grey word-wrapped text
};
