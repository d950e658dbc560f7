// The localised text file "data\if_t_eng.dat": one global text slot per key of each section,
// filled once at start-up. A slot is null while its key has not been read; readers never free or
// change it. TXT_Str maps null to "" for formatted output.
#pragma once
#include <cstdint>

constexpr int TXT_LOCATIONS = 17;       // location keys, indexed by level id
constexpr int TXT_OBJECT_NAMES = 163;   // world-object types
constexpr int TXT_CHARACTER_TEXTS = 54; // roster characters
constexpr int TXT_LINE_BUFFER = 10000;  // a line keeps at most 9999 characters

// The menu keys, in one list so that the slot names and the key texts stay in step.
#define TXT_MENU_KEYS(X)                                                                          \
    X(mm_sp) X(mm_mp) X(mm_op) X(mm_ex) X(mm_pa) X(mm_go) X(mm_di) X(mm_ms) X(mm_sn) X(mm_ey)     \
    X(mm_he) X(mm_am) X(mm_zm) X(mm_w0) X(mm_w1) X(mm_w2) X(mm_w3) X(mm_w4) X(mm_w5) X(mm_w6)     \
    X(mm_d3) X(mm_d4) X(mm_da) X(mm_pu) X(mm_d0) X(mm_d2) X(mm_at) X(mm_n0) X(mm_n1) X(mm_cd)     \
    X(mm_to) X(mm_p0) X(mm_p1) X(mm_p2) X(mm_e0) X(mm_e1) X(mm_wi) X(mm_no) X(mm_ag) X(mm_c1)     \
    X(mm_c2) X(mm_c3) X(mm_c4) X(mm_c5) X(mm_c6) X(mm_d1) X(mm_db) X(mm_gm)                       \
    X(sp_pf) X(sp_ps) X(sp_ls) X(sp_gb)                                                           \
    X(mp_sg) X(mp_jg) X(mp_gb) X(mp_se)                                                           \
    X(op_on) X(op_of) X(op_mi) X(op_li) X(op_sl) X(op_ml) X(op_as) X(op_ck) X(op_cs) X(op_gb)     \
    X(op_l0) X(op_l1) X(op_l2) X(op_cj) X(op_nj) X(op_sc) X(op_la)                                \
    X(cb_qu) X(cb_rs)                                                                             \
    X(cj_ca) X(cj_tc) X(cj_gb) X(cj_ce) X(cj_tl) X(cj_br) X(cj_ex)                                \
    X(ck_sk) X(ck_rk) X(ck_gb) X(ck_pa) X(ck_sl) X(ck_sr) X(ck_su) X(ck_sd) X(ck_ms) X(ck_sw)     \
    X(ck_ra) X(ck_ow) X(ck_uw) X(ck_es) X(ck_dl) X(ck_dr) X(ck_du) X(ck_dd) X(ck_df) X(ck_da)     \
    X(ck_ps) X(ck_wa) X(ck_no) X(ck_ag) X(ck_dj) X(ck_m2)                                         \
    X(ls_gb) X(ls_su) X(ls_ys) X(ls_no) X(ls_sa) X(ls_lo) X(ls_ov)                                \
    X(mc_gb) X(mc_gn) X(mc_h0) X(mc_h1) X(mc_h2) X(mc_h3) X(mc_h4) X(mc_h5) X(mc_h6) X(mc_lv)     \
    X(mc_ct) X(mc_pj) X(mc_st) X(mc_c0) X(mc_c1) X(mc_fl) X(mc_tl) X(mc_tr) X(mc_ul) X(mc_mn)     \
    X(mc_np) X(mc_nt) X(mc_nc) X(mc_ca) X(mc_cr) X(mc_cd) X(mc_cs) X(mc_cc)                       \
    X(mt_gb) X(mt_jt) X(mt_le) X(mt_ct) X(mt_wt) X(mt_ds) X(mt_dc) X(mt_d0) X(mt_su) X(mt_sd)     \
    X(mt_ga) X(mt_of) X(mt_ru) X(mt_df) X(mt_cs) X(mt_cc)                                         \
    X(ms_pn) X(ms_gb) X(ms_tc) X(ms_mi) X(ms_up) X(ms_dn) X(ms_nm) X(ms_md) X(ms_mc) X(ms_mb)     \
    X(ms_ms) X(ms_mp) X(ms_mf)                                                                    \
    X(me_gb) X(me_g2) X(me_wt) X(me_pl) X(me_zm) X(me_hm)                                         \
    X(ts_ok) X(gc_gb)                                                                             \
    X(md_ti) X(md_t2) X(md_rs) X(md_r2) X(md_qu) X(md_q2) X(md_sa) X(md_s2) X(md_ok) X(md_gb)     \
    X(ps_gb) X(ps_01) X(ps_02) X(ps_03)

enum TxtMenuKey : int {
#define TXT_ENUM(k) TXT_##k,
    TXT_MENU_KEYS(TXT_ENUM)
#undef TXT_ENUM
    TXT_MENU_KEY_COUNT
};

// The key texts of the menu section ("mm_sp=" ...), in TxtMenuKey order.
extern const char* const g_TxtMenuKeyNames[TXT_MENU_KEY_COUNT];
// The location keys ("graveyard=" ...), indexed by level id.
extern const char* const g_TxtLocationKeyNames[TXT_LOCATIONS];

// The slots.
extern char* g_MenuTexts[TXT_MENU_KEY_COUNT];
extern char* g_LocationNames[TXT_LOCATIONS];    // level-select map names
extern char* g_LoadingTexts[TXT_LOCATIONS];     // loading screen, per level
extern char* g_LoadingKeypress;
extern char* g_LoadingLoading;
extern char* g_LevelWonTexts[TXT_LOCATIONS];
extern char* g_LevelWonKeypress;
extern char* g_LevelWonLoading;
extern char* g_LevelFailedTexts[TXT_LOCATIONS];
extern char* g_LevelFailedKeypress;
extern char* g_LevelFailedLoading;
extern char* g_LocationTitles[TXT_LOCATIONS];   // titles used by the other screens
extern char* g_ObjectNames[TXT_OBJECT_NAMES];
extern char* g_CharacterTexts[TXT_CHARACTER_TEXTS];

// Reads "data\if_t_eng.dat" and fills every slot that the file provides; 1 in every case.
int TXT_LoadTextFile();
// Loads the sections from a buffer of size bytes (not zero-terminated); used by the loader.
void TXT_ParseBuffer(const char* buffer, uint32_t size);
// Releases every slot (shutdown).
void TXT_FreeTexts();
// A menu slot, or null.
const char* TXT_Menu(TxtMenuKey key);
// "" for a null text: slots go into formatted output through this.
inline const char* TXT_Str(const char* text) {
    return text ? text : "";
}
