// The application object and the library's start and end: loading the library constructs it
// and runs InitInstance, unloading runs ExitInstance and destroys it (and with it the summary
// panel, if the lobby left it open).
#include "options_app.h"

#include "brellapi.h"

COptionsApp::COptionsApp() : CWinApp("lobbyopts"), m_handler(m_summary) {}

BOOL COptionsApp::InitInstance() {
    BwStartup(); // a failed start is not detected; the plug-in works the same
    return CWinApp::InitInstance();
}

int COptionsApp::ExitInstance() {
    BwShutdown();
    return CWinApp::ExitInstance();
}

COptionsApp theApp;

namespace {
// Defined after theApp in the same file, so it starts after the object is built and ends before
// the object is destroyed.
struct ModuleLifetime {
    ModuleLifetime() { theApp.InitInstance(); }
    ~ModuleLifetime() { theApp.ExitInstance(); }
    ModuleLifetime(const ModuleLifetime&) = delete;
    ModuleLifetime& operator=(const ModuleLifetime&) = delete;
};
ModuleLifetime g_ModuleLifetime;
} // namespace
