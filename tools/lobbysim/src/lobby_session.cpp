// The lobby session: loading the plug-in, the commands that call its exports, the dialog events
// that play the user, and the printing of the record, the summary lines and the launch line.
#include "lobby_session.h"

#include <dlfcn.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <type_traits>

#include "mfc_sim.h"

namespace lobbysim {
namespace {

constexpr int kListType = 1011, kListLevel = 1012, kBoxFrag = 1013, kBoxTime = 1017, kCheckTraps = 1018;

std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    std::size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool ParseInt(const std::string& word, int32_t* value) {
    if (word.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(word.c_str(), &end, 10);
    if (errno || *end || v < INT32_MIN || v > INT32_MAX)
        return false;
    *value = int32_t(v);
    return true;
}

// One user action inside the settings dialog.
struct DialogEvent {
    enum Kind { Select, Click, Type, Ok, Cancel, Close, Show } kind;
    int32_t id = 0, index = 0;
    std::string text, spelled;
};

bool ParseEvent(const std::string& spelled, DialogEvent* event, std::string* error) {
    std::vector<std::string> w = SplitWords(spelled);
    event->spelled = spelled;
    auto fail = [&](const char* why) {
        *error = std::string(why) + ": \"" + spelled + "\"";
        return false;
    };
    if (w.empty())
        return fail("empty dialog event");
    const std::string& verb = w[0];
    if (verb == "select") {
        event->kind = DialogEvent::Select;
        if (w.size() != 3 || !ParseInt(w[1], &event->id) || !ParseInt(w[2], &event->index))
            return fail("select needs a control id and an item index");
    } else if (verb == "click") {
        event->kind = DialogEvent::Click;
        if (w.size() != 2 || !ParseInt(w[1], &event->id))
            return fail("click needs a control id");
    } else if (verb == "type") {
        event->kind = DialogEvent::Type;
        if (w.size() < 3 || !ParseInt(w[1], &event->id))
            return fail("type needs a control id and text");
        std::size_t at = spelled.find(w[1]) + w[1].size();
        event->text = Trim(spelled.substr(at));
    } else if (w.size() != 1) {
        return fail("unknown dialog event");
    } else if (verb == "ok") {
        event->kind = DialogEvent::Ok;
    } else if (verb == "cancel") {
        event->kind = DialogEvent::Cancel;
    } else if (verb == "close") {
        event->kind = DialogEvent::Close;
    } else if (verb == "show") {
        event->kind = DialogEvent::Show;
    } else {
        return fail("unknown dialog event");
    }
    return true;
}

std::string SelectedItem(CDialog& d, int id) {
    auto* list = dynamic_cast<CComboBox*>(d.GetDlgItem(id));
    int sel = list ? list->GetCurSel() : CB_ERR;
    if (sel == CB_ERR)
        return "none";
    char text[128];
    list->GetLBText(sel, text, sizeof text);
    return std::to_string(sel) + " \"" + text + "\"";
}

void ShowDialog(CDialog& d, std::ostream& out) {
    auto* traps = dynamic_cast<CButton*>(d.GetDlgItem(kCheckTraps));
    auto boxText = [&](int id) {
        CWnd* box = d.GetDlgItem(id);
        return box ? AfxSimText(box->GetSafeHwnd()) : std::string("?");
    };
    out << "dialog: type " << SelectedItem(d, kListType) << ", level " << SelectedItem(d, kListLevel)
        << ", frag limit \"" << boxText(kBoxFrag) << "\", time limit \"" << boxText(kBoxTime) << "\", traps "
        << (traps && traps->GetCheck() == BST_CHECKED ? "on" : "off") << "\n";
}

void Play(CDialog& d, const DialogEvent& e, std::ostream& out) {
    bool done = true;
    switch (e.kind) {
    case DialogEvent::Select:
        done = AfxSimSelect(&d, e.id, e.index);
        break;
    case DialogEvent::Click:
        done = AfxSimClick(&d, e.id);
        break;
    case DialogEvent::Type:
        done = AfxSimType(&d, e.id, e.text.c_str());
        break;
    case DialogEvent::Ok:
        done = AfxSimClick(&d, IDOK);
        break;
    case DialogEvent::Cancel:
        done = AfxSimClick(&d, IDCANCEL);
        break;
    case DialogEvent::Close:
        done = AfxSimClose(&d);
        break;
    case DialogEvent::Show:
        ShowDialog(d, out);
        break;
    }
    if (!done)
        out << "dialog: ignored \"" << e.spelled << "\"\n";
}

} // namespace

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

const char* LobbySession::Usage() {
    return "commands (each one argument, or one line of a script given with -f FILE):\n"
           "  open                        KrOpenOffer: default record, summary panel over the lobby's panel\n"
           "  close                       KrCloseOffer\n"
           "  changed T P LI LN F TL TR   set the record's seven words, then KrOnOfferChanged\n"
           "  modify [EVENT, EVENT, ...]  KrModifyOffer; the events play the user of the dialog:\n"
           "                                select ID INDEX | click ID | type ID TEXT | ok | cancel | close | show\n"
           "                              (a dialog the events leave open is closed by its close box)\n"
           "  summary                     repaint the summary panel and print its lines\n"
           "  prelaunch [BASE]            KrPrelaunchOffer with the record; prints base text and switches\n"
           "  negotiate                   KrNegotiationRequired and KrShutdownNegotiation\n"
           "controls: 1011 game type, 1012 level, 1013 frag limit, 1017 time limit, 1018 traps,\n"
           "          1024/1023 frag limit down/up, 1026/1025 time limit down/up\n";
}

LobbySession::LobbySession() {
    m_panel.Create(nullptr, "Lobby", WS_VISIBLE, RECT{0, 0, kPanelWidth, kPanelHeight}, nullptr, 0);
}

LobbySession::~LobbySession() {
    AfxSimSetModalDriver(nullptr);
    if (m_library)
        dlclose(m_library);
    m_panel.DestroyWindow();
}

bool LobbySession::Load(const std::string& path, std::string* error) {
    if (m_library) {
        *error = "the plug-in is already loaded";
        return false;
    }
    m_library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
        const char* why = dlerror();
        *error = "cannot load " + path + ": " + (why ? why : "unknown error");
        return false;
    }
    bool ok = true;
    auto find = [&](auto& f, const char* name) {
        f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(dlsym(m_library, name));
        if (!f) {
            *error += std::string(error->empty() ? "" : "; ") + "no export " + name;
            ok = false;
        }
    };
    error->clear();
    find(m_open, "KrOpenOffer");
    find(m_close, "KrCloseOffer");
    find(m_changed, "KrOnOfferChanged");
    find(m_modify, "KrModifyOffer");
    find(m_prelaunch, "KrPrelaunchOffer");
    find(m_negotiationRequired, "KrNegotiationRequired");
    find(m_shutdownNegotiation, "KrShutdownNegotiation");
    if (!ok) {
        dlclose(m_library);
        m_library = nullptr;
    }
    return ok;
}

void LobbySession::PrintRecord(std::ostream& out) const {
    const OfferSettings& r = m_record;
    out << "record: type " << r.gameType << ", players " << r.players << ", level index " << r.levelIndex
        << ", level " << r.levelNumber << ", frag limit " << r.fragLimit << ", time limit " << r.timeLimit
        << ", traps " << r.traps << "\n";
}

void LobbySession::PrintSummary(std::ostream& out) {
    CWnd* summary = m_panel.GetDlgItem(1);
    if (!summary) {
        out << "summary: no panel\n";
        return;
    }
    AfxSimRepaint(summary->GetSafeHwnd());
    std::vector<AfxDrawOp> ops = AfxSimCanvas(summary->GetSafeHwnd());
    const AfxDrawOp* text = nullptr;
    for (const AfxDrawOp& op : ops)
        if (op.kind == AfxDrawOp::Text)
            text = &op;
    if (!text) {
        out << "summary: nothing drawn\n";
        return;
    }
    std::istringstream lines(text->text);
    for (std::string line; std::getline(lines, line);)
        out << "summary: " << line << "\n";
}

bool LobbySession::Run(const std::string& line, std::ostream& out, std::string* error) {
    std::string command = Trim(line);
    std::vector<std::string> w = SplitWords(command);
    if (!m_library) {
        *error = "the plug-in is not loaded";
        return false;
    }
    if (w.empty()) {
        *error = "empty command";
        return false;
    }
    const std::string& verb = w[0];
    std::string rest = Trim(command.substr(verb.size()));

    if (verb == "open" && w.size() == 1) {
        int32_t size = 0;
        int32_t result = m_open(m_panel.GetSafeHwnd(), 0, &m_record, &size);
        out << "open: result " << result << ", size " << size << "\n";
        PrintRecord(out);
    } else if (verb == "close" && w.size() == 1) {
        out << "close: result " << m_close() << "\n";
    } else if (verb == "changed") {
        int32_t v[7];
        if (w.size() != 8) {
            *error = "changed needs seven numbers";
            return false;
        }
        for (int i = 0; i < 7; ++i)
            if (!ParseInt(w[std::size_t(i) + 1], &v[i])) {
                *error = "not a number: " + w[std::size_t(i) + 1];
                return false;
            }
        m_record = OfferSettings{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
        out << "changed: result " << m_changed(0, &m_record) << "\n";
    } else if (verb == "modify") {
        std::vector<DialogEvent> events;
        std::istringstream parts(rest);
        for (std::string part; std::getline(parts, part, ',');) {
            DialogEvent e;
            if (!ParseEvent(Trim(part), &e, error))
                return false;
            events.push_back(e);
        }
        AfxSimSetModalDriver([&events, &out](CDialog& d) {
            for (const DialogEvent& e : events) {
                if (!d.IsModalRunning())
                    break;
                Play(d, e, out);
            }
        });
        int32_t result = m_modify(0, &m_record);
        AfxSimSetModalDriver(nullptr);
        out << "modify: result " << result << "\n";
        PrintRecord(out);
    } else if (verb == "summary" && w.size() == 1) {
        PrintSummary(out);
    } else if (verb == "prelaunch") {
        std::vector<char> buffer(rest.size() + kLaunchSwitchesRoom);
        int32_t result = m_prelaunch(0, 0, rest.c_str(), buffer.data(), 0, &m_record);
        if (result != 0)
            out << "prelaunch: result " << result << "\n";
        else
            out << "launch: " << buffer.data() << "\n";
    } else if (verb == "negotiate" && w.size() == 1) {
        out << "negotiation required: " << m_negotiationRequired() << ", shutdown negotiation: "
            << m_shutdownNegotiation(0) << "\n";
    } else {
        *error = "unknown command: \"" + command + "\"";
        return false;
    }
    return true;
}

} // namespace lobbysim
