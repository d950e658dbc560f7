// Loads the plug-in as the lobby does (dlopen, exports found by name) inside a lobby window of
// the window model, with the service client's counts reset; unloads it after each test so that
// every test starts from a freshly loaded library.
#pragma once
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "brellapi_control.h"
#include "lobbyopts.h"
#include "mfc_sim.h"

namespace lobbytest {

inline constexpr OfferSettings kDefaults{5, 1, 3, 4, 10, 10, 1};
inline constexpr int kLobbyWidth = 400, kLobbyHeight = 300;

inline bool Same(const OfferSettings& a, const OfferSettings& b) {
    return a.gameType == b.gameType && a.players == b.players && a.levelIndex == b.levelIndex &&
           a.levelNumber == b.levelNumber && a.fragLimit == b.fragLimit && a.timeLimit == b.timeLimit &&
           a.traps == b.traps;
}

inline std::string Show(const OfferSettings& s) {
    return std::to_string(s.gameType) + " " + std::to_string(s.players) + " " + std::to_string(s.levelIndex) + " " +
           std::to_string(s.levelNumber) + " " + std::to_string(s.fragLimit) + " " + std::to_string(s.timeLimit) +
           " " + std::to_string(s.traps);
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        AfxSimReset();
        BwControlReset();
        ASSERT_TRUE(lobby.Create(nullptr, "Lobby", WS_VISIBLE, RECT{0, 0, kLobbyWidth, kLobbyHeight}, nullptr, 0));
        Load();
    }

    void TearDown() override {
        AfxSimSetModalDriver(nullptr);
        Unload();
        lobby.DestroyWindow();
        AfxSimReset();
    }

    void Load() {
        library = dlopen(LOBBYOPTS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        Find(open, "KrOpenOffer");
        Find(close, "KrCloseOffer");
        Find(changed, "KrOnOfferChanged");
        Find(modify, "KrModifyOffer");
        Find(prelaunch, "KrPrelaunchOffer");
        Find(negotiationRequired, "KrNegotiationRequired");
        Find(shutdownNegotiation, "KrShutdownNegotiation");
    }

    void Unload() {
        if (!library)
            return;
        ASSERT_EQ(dlclose(library), 0);
        library = nullptr;
        EXPECT_EQ(dlopen(LOBBYOPTS_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library stays loaded";
    }

    template <typename F> void Find(F& f, const char* name) {
        f = reinterpret_cast<F>(dlsym(library, name));
        ASSERT_NE(f, nullptr) << name;
    }

    // The summary panel: the lobby window's child with id 1.
    CWnd* Summary() { return lobby.GetDlgItem(1); }

    // Lets the window system paint the summary, if it has anything to paint, and answers the
    // text it last drew.
    std::string SummaryText() {
        CWnd* summary = Summary();
        if (!summary)
            return "(no panel)";
        summary->UpdateWindow();
        std::vector<AfxDrawOp> ops = AfxSimCanvas(summary->GetSafeHwnd());
        for (auto it = ops.rbegin(); it != ops.rend(); ++it)
            if (it->kind == AfxDrawOp::Text)
                return it->text;
        return "(nothing drawn)";
    }

    // The last error as the summary shows it.
    std::string LastErrorLine() {
        std::string text = SummaryText();
        std::size_t at = text.find("Last Error: ");
        return at == std::string::npos ? text : text.substr(at, text.find('\n', at) - at);
    }

    // Opens an offer with the defaults and takes the given settings into the working copy.
    void OpenWith(const OfferSettings& settings) {
        OfferSettings record{};
        int32_t size = 0;
        ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
        ASSERT_EQ(changed(0, &settings), 0);
    }

    // Runs the settings dialog with the driver playing the user.
    int32_t Modify(OfferSettings& record, AfxModalDriver driver) {
        AfxSimSetModalDriver(std::move(driver));
        int32_t result = modify(0, &record);
        AfxSimSetModalDriver(nullptr);
        return result;
    }

    static BwCallCounts Counts() {
        BwCallCounts c{};
        BwControlGetCounts(&c);
        return c;
    }

    void* library = nullptr;
    CWnd lobby;
    PFN_KrOpenOffer open = nullptr;
    PFN_KrCloseOffer close = nullptr;
    PFN_KrOnOfferChanged changed = nullptr;
    PFN_KrModifyOffer modify = nullptr;
    PFN_KrPrelaunchOffer prelaunch = nullptr;
    PFN_KrNegotiationRequired negotiationRequired = nullptr;
    PFN_KrShutdownNegotiation shutdownNegotiation = nullptr;
};

} // namespace lobbytest
