// The demo install's localised text file "data/if_t_eng.dat": every key the interface reads, in
// the project's own words, with CR LF line ends as a text editor of the time would write them.
// Sections: location names, loading, level-won and level-failed texts, menu texts, world-object
// names, character texts and location titles.
#include <string>
#include <vector>

#include "datakit/bytes.h"
#include "datakit/demo_steps.h"
#include "datakit/ui_text.h"

namespace dk {

namespace {

// Location keys in level order and their place names.
const char* const kLocations[17][2] = {
    {"graveyard", "Old Graveyard"}, {"town", "Market Town"},       {"farm", "Hollow Farm"},
    {"drivein", "Drive-in"},        {"shoppingmall", "Mall"},       {"airport", "Airfield"},
    {"sportscomplex", "Stadium"},   {"hotel", "Grand Hotel"},       {"campground", "Campground"},
    {"hydroelectricplant", "Dam"},  {"docks", "Harbour"},           {"trainingbase", "Training Camp"},
    {"hospital", "Hospital"},       {"labs", "Research Labs"},      {"securitybase", "Security Base"},
    {"factory", "Factory"},         {"escape", "The Way Out"},
};

const char* const kMenus[][2] = {
    {"mm_sp", "Single player"}, {"mm_mp", "Multiplayer"}, {"mm_op", "Options"}, {"mm_ex", "Exit"},
    {"mm_pa", "Paused"}, {"mm_go", "Go"}, {"mm_di", "Drop item"}, {"mm_ms", "Music"}, {"mm_sn", "Sound"},
    {"mm_ey", "Eyeball"}, {"mm_he", "Health"}, {"mm_am", "Ammo"}, {"mm_zm", "Zombie"},
    {"mm_w0", "The living hold the town"}, {"mm_w1", "The dead are beaten"},
    {"mm_w2", "The dead have won"}, {"mm_w3", "Nobody is left standing"},
    {"mm_w4", "Frag limit reached"}, {"mm_w5", "Time is up"}, {"mm_w6", "Press a key to go on"},
    {"mm_d3", "was torn apart by"}, {"mm_d4", "was shot by"}, {"mm_da", "died"},
    {"mm_pu", "picked up"}, {"mm_d0", "is down"}, {"mm_d2", "is gone"}, {"mm_at", "is under attack"},
    {"mm_n0", "Nothing here"}, {"mm_n1", "Cannot carry more"}, {"mm_cd", "Insert the game disc"},
    {"mm_to", "Time out"}, {"mm_p0", "Door locked"}, {"mm_p1", "Door open"}, {"mm_p2", "A player left"},
    {"mm_e0", "Leave the game?"}, {"mm_e1", "Yes or no"}, {"mm_wi", "Winner"}, {"mm_no", "No"},
    {"mm_ag", "Again"}, {"mm_c1", "Chapter one"}, {"mm_c2", "Chapter two"}, {"mm_c3", "Chapter three"},
    {"mm_c4", "Chapter four"}, {"mm_c5", "Chapter five"}, {"mm_c6", "Chapter six"}, {"mm_d1", "was hit"},
    {"mm_db", "Debug"}, {"mm_gm", "Game"},
    {"sp_pf", "Play first level"}, {"sp_ps", "Play saved game"}, {"sp_ls", "Load or save"}, {"sp_gb", "Back"},
    {"mp_sg", "Host a game"}, {"mp_jg", "Join a game"}, {"mp_gb", "Back"}, {"mp_se", "Settings"},
    {"op_on", "On"}, {"op_of", "Off"}, {"op_mi", "Music volume"}, {"op_li", "Lighting"},
    {"op_sl", "Sound volume"}, {"op_ml", "Music"}, {"op_as", "Screen size"}, {"op_ck", "Keys"},
    {"op_cs", "Credits"}, {"op_gb", "Back"}, {"op_l0", "Low detail"}, {"op_l1", "Medium detail"},
    {"op_l2", "High detail"}, {"op_cj", "Joystick"}, {"op_nj", "No joystick"}, {"op_sc", "Screen"},
    {"op_la", "Language"},
    {"cb_qu", "Quit this level?"}, {"cb_rs", "Restart this level?"},
    {"cj_ca", "Calibrate"}, {"cj_tc", "Top left corner"}, {"cj_gb", "Back"}, {"cj_ce", "Centre"},
    {"cj_tl", "Bottom right corner"}, {"cj_br", "Buttons"}, {"cj_ex", "Done"},
    {"ck_sk", "Save keys"}, {"ck_rk", "Reset keys"}, {"ck_gb", "Back"}, {"ck_pa", "Pause"},
    {"ck_sl", "Scroll left"}, {"ck_sr", "Scroll right"}, {"ck_su", "Scroll up"}, {"ck_sd", "Scroll down"},
    {"ck_ms", "Map screen"}, {"ck_sw", "Switch member"}, {"ck_ra", "Radar"}, {"ck_ow", "Object window"},
    {"ck_uw", "Use item"}, {"ck_es", "Menu"}, {"ck_dl", "Turn left"}, {"ck_dr", "Turn right"},
    {"ck_du", "Forward"}, {"ck_dd", "Back off"}, {"ck_df", "Fire"}, {"ck_da", "Alternate fire"},
    {"ck_ps", "Pick up"}, {"ck_wa", "Press the new key"}, {"ck_no", "Not allowed"}, {"ck_ag", "Try again"},
    {"ck_dj", "Joystick keys"}, {"ck_m2", "Mouse button two"},
    {"ls_gb", "Back"}, {"ls_su", "Save done"}, {"ls_ys", "Yes"}, {"ls_no", "No"}, {"ls_sa", "Save"},
    {"ls_lo", "Load"}, {"ls_ov", "Overwrite this game?"},
    {"mc_gb", "Back"}, {"mc_gn", "Game name"}, {"mc_h0", "Living against living"},
    {"mc_h1", "Living against the dead"}, {"mc_h2", "Team play"}, {"mc_h3", "Every one for themselves"},
    {"mc_h4", "Hunt"}, {"mc_h5", "Survive"}, {"mc_h6", "Custom"}, {"mc_lv", "Level"},
    {"mc_ct", "Connection"}, {"mc_pj", "Players"}, {"mc_st", "Start"}, {"mc_c0", "Players: two"},
    {"mc_c1", "Players: more"}, {"mc_fl", "Frag limit"}, {"mc_tl", "Time limit"}, {"mc_tr", "Traps"},
    {"mc_ul", "No limit"}, {"mc_mn", "minutes"}, {"mc_np", "Player count"}, {"mc_nt", "Teams"},
    {"mc_nc", "Characters"}, {"mc_ca", "Cancel"}, {"mc_cr", "Create"}, {"mc_cd", "Creating"},
    {"mc_cs", "Serial cable"}, {"mc_cc", "Modem"},
    {"mt_gb", "Back"}, {"mt_jt", "Join"}, {"mt_le", "Leave"}, {"mt_ct", "Connecting"},
    {"mt_wt", "Waiting for the host"}, {"mt_ds", "Waiting for players"}, {"mt_dc", "Connection lost"},
    {"mt_d0", "The host has left"}, {"mt_su", "Scroll up"}, {"mt_sd", "Scroll down"},
    {"mt_ga", "Games"}, {"mt_of", "Off line"}, {"mt_ru", "Running"}, {"mt_df", "Game over"},
    {"mt_cs", "Choose a session"}, {"mt_cc", "Choose a connection"},
    {"ms_pn", "Your name"}, {"ms_gb", "Back"}, {"ms_tc", "Type to chat"}, {"ms_mi", "Modem init"},
    {"ms_up", "Up"}, {"ms_dn", "Down"}, {"ms_nm", "Number"}, {"ms_md", "Modem"}, {"ms_mc", "Com port"},
    {"ms_mb", "Baud rate"}, {"ms_ms", "Stop bits"}, {"ms_mp", "Parity"}, {"ms_mf", "Flow control"},
    {"me_gb", "Back"}, {"me_g2", "Go"}, {"me_wt", "Waiting"}, {"me_pl", "Player"},
    {"me_zm", "Zombies"}, {"me_hm", "Humans"},
    {"ts_ok", "Carry on"}, {"gc_gb", "Back"},
    {"md_ti", "Travel to"}, {"md_t2", "this place?"}, {"md_rs", "Restart"}, {"md_r2", "this level?"},
    {"md_qu", "Quit"}, {"md_q2", "to the menu?"}, {"md_sa", "Save"}, {"md_s2", "the game?"},
    {"md_ok", "Go"}, {"md_gb", "Back"},
    {"ps_gb", "Back"}, {"ps_01", "Slot one"}, {"ps_02", "Slot two"}, {"ps_03", "Slot three"},
};

constexpr int kObjectTypes = 163, kCharacters = 54;

}  // namespace

std::string InterfaceText() {
    std::vector<std::string> lines = {"Ghoulden interface texts, English.", ""};
    auto section = [&](const std::string& name, const std::vector<std::string>& body) {
        lines.push_back("[>" + name + "]");
        lines.insert(lines.end(), body.begin(), body.end());
        lines.push_back("[<" + name + "]");
        lines.push_back("");
    };
    std::vector<std::string> names, loading, won, failed, titles;
    for (const auto& l : kLocations) {
        names.push_back(std::string(l[0]) + "=" + l[1]);
        loading.push_back(std::string(l[0]) + "=On the way to " + l[1] + ".~Keep the team together.");
        won.push_back(std::string(l[0]) + "=" + l[1] + " is clear.~The team moves on.");
        failed.push_back(std::string(l[0]) + "=" + l[1] + " was lost.~Nobody made it out.");
        titles.push_back(std::string(l[0]) + "=" + l[1]);
    }
    for (auto* list : {&loading, &won, &failed}) {
        list->insert(list->begin(), "keypress=Press a key");
        list->insert(list->begin() + 1, "loading=Loading");
    }
    std::vector<std::string> menus, objects, characters;
    for (const auto& m : kMenus)
        menus.push_back(std::string(m[0]) + "=" + m[1]);
    for (int i = 0; i < kObjectTypes; ++i)
        objects.push_back("o=Object " + std::to_string(i));
    for (int i = 0; i < kCharacters; ++i)
        characters.push_back("c=Survivor number " + std::to_string(i) + ".~Keeps a cool head.");
    section("locations", names);
    section("loadtextlocations", loading);
    section("exittextlocations", won);
    section("failedtextlocations", failed);
    section("menus", menus);
    section("objects", objects);
    section("characters", characters);
    section("textlocations", titles);
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    return text;
}

bool DemoInterfaceText(const std::string& dir) {
    return WriteText(dir + "/data/if_t_eng.dat", InterfaceText());
}

}  // namespace dk
