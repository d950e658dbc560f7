// A lobby as the plug-in meets it: it loads the plug-in with dlopen, finds the seven exports by
// name, keeps the offer record it passes to them and a panel window for the summary, and runs
// commands that call the exports (and, inside the settings dialog, play the user).
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "lobbyopts.h"
#include "mfc.h"

namespace lobbysim {

// The panel of the lobby over which the plug-in lays its summary.
constexpr int kPanelWidth = 400, kPanelHeight = 300;

class LobbySession {
public:
    LobbySession();
    ~LobbySession(); // unloads the plug-in
    LobbySession(const LobbySession&) = delete;
    LobbySession& operator=(const LobbySession&) = delete;

    // Loads the plug-in and finds its exports; false with a message when it cannot.
    bool Load(const std::string& path, std::string* error);

    // Runs one command (see Usage()), printing what the lobby sees to out. False with a message
    // for a command or event it does not understand; nothing is called then.
    bool Run(const std::string& line, std::ostream& out, std::string* error);

    const OfferSettings& Record() const { return m_record; }

    static const char* Usage();

private:
    void PrintRecord(std::ostream& out) const;
    void PrintSummary(std::ostream& out);

    void* m_library = nullptr;
    CWnd m_panel;
    OfferSettings m_record{};
    PFN_KrOpenOffer m_open = nullptr;
    PFN_KrCloseOffer m_close = nullptr;
    PFN_KrOnOfferChanged m_changed = nullptr;
    PFN_KrModifyOffer m_modify = nullptr;
    PFN_KrPrelaunchOffer m_prelaunch = nullptr;
    PFN_KrNegotiationRequired m_negotiationRequired = nullptr;
    PFN_KrShutdownNegotiation m_shutdownNegotiation = nullptr;
};

// Splits a line at blanks and tabs.
std::vector<std::string> SplitWords(const std::string& line);

} // namespace lobbysim
