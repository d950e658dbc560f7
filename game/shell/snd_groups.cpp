// The sound group table: for each of the 19 groups (0 the interface, 1 the common game sounds,
// 2..18 the sets of levels 0..16) its entries, indexed from 1 and ended by an entry without a file
// name. The same file may stand in several entries and groups; each entry loads its own buffer.
#include "shell/snd.h"

namespace {

// Group 0: interface.
SoundEntry g_SoundGroup0[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\sql_2clk.aud"},  // 1
    {nullptr, 0, "sounds\\baseb_sq.aud"},  // 2
    {nullptr, 0, "sounds\\radar_up.aud"},  // 3
    {nullptr, 0, "sounds\\radar_dn.aud"},  // 4
    {nullptr, 0, "sounds\\wound_m1.aud"},  // 5
    {nullptr, 0, "sounds\\gte_sqwk.aud"},  // 6
    {nullptr, 0, nullptr},
};

// Group 1: common game sounds.
SoundEntry g_SoundGroup1[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\clk_ground.aud"},  // 1
    {nullptr, 0, "sounds\\clk_human.aud"},  // 2
    {nullptr, 0, "sounds\\clk_human_f.aud"},  // 3
    {nullptr, 0, "sounds\\clk_objects.aud"},  // 4
    {nullptr, 0, "sounds\\clk_static.aud"},  // 5
    {nullptr, 0, "sounds\\clk_zombies.aud"},  // 6
    {nullptr, 0, "sounds\\pick_up.aud"},  // 7
    {nullptr, 0, "sounds\\drop_1.aud"},  // 8
    {nullptr, 0, "sounds\\pump_action_sg.aud"},  // 9
    {nullptr, 0, "sounds\\vitality.aud"},  // 10
    {nullptr, 0, "sounds\\foot_in_r.aud"},  // 11
    {nullptr, 0, "sounds\\gen_switch1.aud"},  // 12
    {nullptr, 0, "sounds\\gen_switch2.aud"},  // 13
    {nullptr, 0, "sounds\\door_open.aud"},  // 14
    {nullptr, 0, "sounds\\door_clse.aud"},  // 15
    {nullptr, 0, "sounds\\door_open_thud.aud"},  // 16
    {nullptr, 0, "sounds\\key_access.aud"},  // 17
    {nullptr, 0, "sounds\\key_noaccess.aud"},  // 18
    {nullptr, 0, "sounds\\mall_esca_lp.aud"},  // 19
    {nullptr, 0, "sounds\\zomfx_01.aud"},  // 20
    {nullptr, 0, "sounds\\zomfx_05.aud"},  // 21
    {nullptr, 0, "sounds\\zomfx_06.aud"},  // 22
    {nullptr, 0, "sounds\\zomdie_01.aud"},  // 23
    {nullptr, 0, "sounds\\elec_zap_loop.aud"},  // 24
    {nullptr, 0, "sounds\\zom_fall_01.aud"},  // 25
    {nullptr, 0, "sounds\\zom_sp~1.aud"},  // 26
    {nullptr, 0, "sounds\\chew_2a.aud"},  // 27
    {nullptr, 0, "sounds\\chew_2b.aud"},  // 28
    {nullptr, 0, "sounds\\chew_2c.aud"},  // 29
    {nullptr, 0, "sounds\\chew_2d.aud"},  // 30
    {nullptr, 0, "sounds\\zom_urg1a.aud"},  // 31
    {nullptr, 0, "sounds\\zom_urg2a.aud"},  // 32
    {nullptr, 0, "sounds\\scream_a5.aud"},  // 33
    {nullptr, 0, "sounds\\explode_01.aud"},  // 34
    {nullptr, 0, "sounds\\explosion1.aud"},  // 35
    {nullptr, 0, "sounds\\punch_n2.aud"},  // 36
    {nullptr, 0, "sounds\\punch_sq.aud"},  // 37
    {nullptr, 0, "sounds\\punch1.aud"},  // 38
    {nullptr, 0, "sounds\\punch2.aud"},  // 39
    {nullptr, 0, "sounds\\shtgn_01.aud"},  // 40
    {nullptr, 0, "sounds\\axe__sq1.aud"},  // 41
    {nullptr, 0, "sounds\\axe_nosq.aud"},  // 42
    {nullptr, 0, "sounds\\baseb_sq.aud"},  // 43
    {nullptr, 0, "sounds\\baseball_sq1.aud"},  // 44
    {nullptr, 0, "sounds\\grey_bricks2.aud"},  // 45
    {nullptr, 0, "sounds\\cattleprod1.aud"},  // 46
    {nullptr, 0, "sounds\\chainsaw.aud"},  // 47
    {nullptr, 0, "sounds\\357mag.aud"},  // 48
    {nullptr, 0, "sounds\\crowbar_sqlch.aud"},  // 49
    {nullptr, 0, "sounds\\fence_post.aud"},  // 50
    {nullptr, 0, "sounds\\stab_io_b.aud"},  // 51
    {nullptr, 0, "sounds\\golf_club_mix.aud"},  // 52
    {nullptr, 0, "sounds\\hunting_rifle.aud"},  // 53
    {nullptr, 0, "sounds\\stab_io_c.aud"},  // 54
    {nullptr, 0, "sounds\\m16_loop.aud"},  // 55
    {nullptr, 0, "sounds\\machete_swp_plus.aud"},  // 56
    {nullptr, 0, "sounds\\vickmg_loop.aud"},  // 57
    {nullptr, 0, "sounds\\nail_gun.aud"},  // 58
    {nullptr, 0, "sounds\\pick.aud"},  // 59
    {nullptr, 0, "sounds\\bent_pipe1.aud"},  // 60
    {nullptr, 0, "sounds\\9mm.aud"},  // 61
    {nullptr, 0, "sounds\\uzi_1shot.aud"},  // 62
    {nullptr, 0, "sounds\\stabb_03.aud"},  // 63
    {nullptr, 0, "sounds\\swipe_04_sq.aud"},  // 64
    {nullptr, 0, "sounds\\pump_action sg.aud"},  // 65
    {nullptr, 0, "sounds\\rake_1.aud"},  // 66
    {nullptr, 0, "sounds\\swipesaw.aud"},  // 67
    {nullptr, 0, "sounds\\shov_hit.aud"},  // 68
    {nullptr, 0, "sounds\\fence_post.aud"},  // 69
    {nullptr, 0, "sounds\\walking_stick.aud"},  // 70
    {nullptr, 0, "sounds\\stabb_01.aud"},  // 71
    {nullptr, 0, "sounds\\laser_00.aud"},  // 72
    {nullptr, 0, "sounds\\uzi_5shot.aud"},  // 73
    {nullptr, 0, "sounds\\uzi_loop.aud"},  // 74
    {nullptr, 0, "sounds\\explode_02a.aud"},  // 75
    {nullptr, 0, "sounds\\gasoline_can_hit.aud"},  // 76
    {nullptr, 0, "sounds\\hammer.aud"},  // 77
    {nullptr, 0, "sounds\\chain_weap.aud"},  // 78
    {nullptr, 0, "sounds\\no_ammo_02.aud"},  // 79
    {nullptr, 0, "sounds\\no_ammo_03.aud"},  // 80
    {nullptr, 0, "sounds\\no_ammo_05.aud"},  // 81
    {nullptr, 0, "sounds\\no_ammo_06.aud"},  // 82
    {nullptr, 0, "sounds\\no_ammo_07.aud"},  // 83
    {nullptr, 0, "sounds\\emtyweap.aud"},  // 84
    {nullptr, 0, "sounds\\no_ammo_02.aud"},  // 85
    {nullptr, 0, "sounds\\fall_juicy_02.aud"},  // 86
    {nullptr, 0, nullptr},
};

// Group 2: level 0 (graveyard).
SoundEntry g_SoundGroup2[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\lightning.aud"},  // 1
    {nullptr, 0, "sounds\\bell1.aud"},  // 2
    {nullptr, 0, "sounds\\wolves_long.aud"},  // 3
    {nullptr, 0, "sounds\\wind_loop.aud"},  // 4
    {nullptr, 0, "sounds\\wind_gust.aud"},  // 5
    {nullptr, 0, "sounds\\sea_laps.aud"},  // 6
    {nullptr, 0, nullptr},
};

// Group 3: level 1.
SoundEntry g_SoundGroup3[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\bell1.aud"},  // 1
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 2
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 3
    {nullptr, 0, "sounds\\wind_loop.aud"},  // 4
    {nullptr, 0, "sounds\\wind_gust.aud"},  // 5
    {nullptr, 0, "sounds\\cem_motor.aud"},  // 6
    {nullptr, 0, "sounds\\cem_mix_eng.aud"},  // 7
    {nullptr, 0, "sounds\\cem_pour_temp.aud"},  // 8
    {nullptr, 0, "sounds\\steam_roll.aud"},  // 9
    {nullptr, 0, "sounds\\steam_roller_1.aud"},  // 10
    {nullptr, 0, "sounds\\steam_sq.aud"},  // 11
    {nullptr, 0, "sounds\\sea_laps.aud"},  // 12
    {nullptr, 0, nullptr},
};

// Group 4: level 2.
SoundEntry g_SoundGroup4[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\stream_loop.aud"},  // 1
    {nullptr, 0, "sounds\\waterwheel.aud"},  // 2
    {nullptr, 0, "sounds\\fall_juicy_03.aud"},  // 3
    {nullptr, 0, "sounds\\com_h_shred.aud"},  // 4
    {nullptr, 0, "sounds\\combine_harv_1.aud"},  // 5
    {nullptr, 0, "sounds\\combine_harv_2.aud"},  // 6
    {nullptr, 0, "sounds\\squash_crunch.aud"},  // 7
    {nullptr, 0, "sounds\\bell1.aud"},  // 8
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 9
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 10
    {nullptr, 0, "sounds\\wind_loop.aud"},  // 11
    {nullptr, 0, "sounds\\wind_gust.aud"},  // 12
    {nullptr, 0, "sounds\\sea_laps.aud"},  // 13
    {nullptr, 0, nullptr},
};

// Group 5: level 3.
SoundEntry g_SoundGroup5[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, nullptr},
};

// Group 6: level 4.
SoundEntry g_SoundGroup6[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\mall_mus_eq.aud"},  // 1
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 2
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 3
    {nullptr, 0, nullptr},
};

// Group 7: level 5.
SoundEntry g_SoundGroup7[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\bag_carou.aud"},  // 1
    {nullptr, 0, nullptr},
};

// Group 8: level 6.
SoundEntry g_SoundGroup8[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\alarm_00.aud"},  // 1
    {nullptr, 0, "sounds\\tennis_1.aud"},  // 2
    {nullptr, 0, "sounds\\tennis_2.aud"},  // 3
    {nullptr, 0, "sounds\\explode_02a.aud"},  // 4
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 5
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 6
    {nullptr, 0, nullptr},
};

// Group 9: level 7.
SoundEntry g_SoundGroup9[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 1
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 2
    {nullptr, 0, "sounds\\sea_laps.aud"},  // 3
    {nullptr, 0, "sounds\\wave_amb.aud"},  // 4
    {nullptr, 0, "sounds\\cable_boat.aud"},  // 5
    {nullptr, 0, "sounds\\tennis_1.aud"},  // 6
    {nullptr, 0, "sounds\\tennis_2.aud"},  // 7
    {nullptr, 0, "sounds\\explode_02a.aud"},  // 8
    {nullptr, 0, nullptr},
};

// Group 10: level 8.
SoundEntry g_SoundGroup10[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, nullptr},
};

// Group 11: level 9.
SoundEntry g_SoundGroup11[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\turb_gen_loop.aud"},  // 1
    {nullptr, 0, "sounds\\turb_gen_down.aud"},  // 2
    {nullptr, 0, "sounds\\zom_flsh.aud"},  // 3
    {nullptr, 0, "sounds\\sea_laps.aud"},  // 4
    {nullptr, 0, "sounds\\hydro_electro_lp.aud"},  // 5
    {nullptr, 0, "sounds\\dam_water_loop2.aud"},  // 6
    {nullptr, 0, "sounds\\mains_hum.aud"},  // 7
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 8
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 9
    {nullptr, 0, nullptr},
};

// Group 12: level 10.
SoundEntry g_SoundGroup12[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\cable_boat.aud"},  // 1
    {nullptr, 0, "sounds\\sea_laps.aud"},  // 2
    {nullptr, 0, "sounds\\wave_amb.aud"},  // 3
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 4
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 5
    {nullptr, 0, "sounds\\ship_horn1.aud"},  // 6
    {nullptr, 0, nullptr},
};

// Group 13: level 11.
SoundEntry g_SoundGroup13[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, nullptr},
};

// Group 14: level 12.
SoundEntry g_SoundGroup14[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\X-Ray.aud"},  // 1
    {nullptr, 0, nullptr},
};

// Group 15: level 13.
SoundEntry g_SoundGroup15[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\shov_hit.aud"},  // 1
    {nullptr, 0, "sounds\\siren_1.aud"},  // 2
    {nullptr, 0, "sounds\\warning_.aud"},  // 3
    {nullptr, 0, "sounds\\30.aud"},  // 4
    {nullptr, 0, "sounds\\20.aud"},  // 5
    {nullptr, 0, "sounds\\10.aud"},  // 6
    {nullptr, 0, "sounds\\05.aud"},  // 7
    {nullptr, 0, "sounds\\04.aud"},  // 8
    {nullptr, 0, "sounds\\03.aud"},  // 9
    {nullptr, 0, "sounds\\02.aud"},  // 10
    {nullptr, 0, "sounds\\01.aud"},  // 11
    {nullptr, 0, "sounds\\_selfde_.aud"},  // 12
    {nullptr, 0, "sounds\\sd_deac.aud"},  // 13
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 14
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 15
    {nullptr, 0, nullptr},
};

// Group 16: level 14.
SoundEntry g_SoundGroup16[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 1
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 2
    {nullptr, 0, "sounds\\wind_loop.aud"},  // 3
    {nullptr, 0, "sounds\\wind_gust.aud"},  // 4
    {nullptr, 0, nullptr},
};

// Group 17: level 15.
SoundEntry g_SoundGroup17[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 1
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 2
    {nullptr, 0, "sounds\\wind_loop.aud"},  // 3
    {nullptr, 0, "sounds\\wind_gust.aud"},  // 4
    {nullptr, 0, "sounds\\sledgehammer.aud"},  // 5
    {nullptr, 0, "sounds\\auto_02.aud"},  // 6
    {nullptr, 0, "sounds\\steam_sq.aud"},  // 7
    {nullptr, 0, "sounds\\beam_loop.aud"},  // 8
    {nullptr, 0, "sounds\\beam_collapse_1.aud"},  // 9
    {nullptr, 0, nullptr},
};

// Group 18: level 16.
SoundEntry g_SoundGroup18[] = {
    {nullptr, 0, nullptr},  // index 0: no sound
    {nullptr, 0, "sounds\\crick_loop.aud"},  // 1
    {nullptr, 0, "sounds\\crick_loop_v2.aud"},  // 2
    {nullptr, 0, "sounds\\wind_loop.aud"},  // 3
    {nullptr, 0, "sounds\\wind_gust.aud"},  // 4
    {nullptr, 0, nullptr},
};

}  // namespace

SoundGroup g_SoundGroups[SND_GROUP_COUNT] = {
    {g_SoundGroup0, 6},
    {g_SoundGroup1, 86},
    {g_SoundGroup2, 6},
    {g_SoundGroup3, 12},
    {g_SoundGroup4, 13},
    {g_SoundGroup5, 0},
    {g_SoundGroup6, 3},
    {g_SoundGroup7, 1},
    {g_SoundGroup8, 6},
    {g_SoundGroup9, 8},
    {g_SoundGroup10, 0},
    {g_SoundGroup11, 9},
    {g_SoundGroup12, 6},
    {g_SoundGroup13, 0},
    {g_SoundGroup14, 1},
    {g_SoundGroup15, 15},
    {g_SoundGroup16, 4},
    {g_SoundGroup17, 9},
    {g_SoundGroup18, 4},
};
