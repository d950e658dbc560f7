// The game's sound group file names, as the demo install must have them: group by group, each
// entry's "sounds\<stem>.aud", index 1 first. Groups 5, 10 and 13 are empty.
#include "datakit/aud.h"

namespace dk {

const std::vector<std::vector<std::string>>& SoundGroupFiles() {
    static const std::vector<std::vector<std::string>> kGroups = [] {
        const std::vector<std::vector<const char*>> stems = {
            // 0: interface
            {"sql_2clk", "baseb_sq", "radar_up", "radar_dn", "wound_m1", "gte_sqwk"},
            // 1: common game sounds
            {"clk_ground", "clk_human", "clk_human_f", "clk_objects", "clk_static", "clk_zombies", "pick_up",
             "drop_1", "pump_action_sg", "vitality", "foot_in_r", "gen_switch1", "gen_switch2", "door_open",
             "door_clse", "door_open_thud", "key_access", "key_noaccess", "mall_esca_lp", "zomfx_01",
             "zomfx_05", "zomfx_06", "zomdie_01", "elec_zap_loop", "zom_fall_01", "zom_sp~1", "chew_2a",
             "chew_2b", "chew_2c", "chew_2d", "zom_urg1a", "zom_urg2a", "scream_a5", "explode_01",
             "explosion1", "punch_n2", "punch_sq", "punch1", "punch2", "shtgn_01", "axe__sq1", "axe_nosq",
             "baseb_sq", "baseball_sq1", "grey_bricks2", "cattleprod1", "chainsaw", "357mag",
             "crowbar_sqlch", "fence_post", "stab_io_b", "golf_club_mix", "hunting_rifle", "stab_io_c",
             "m16_loop", "machete_swp_plus", "vickmg_loop", "nail_gun", "pick", "bent_pipe1", "9mm",
             "uzi_1shot", "stabb_03", "swipe_04_sq", "pump_action sg", "rake_1", "swipesaw", "shov_hit",
             "fence_post", "walking_stick", "stabb_01", "laser_00", "uzi_5shot", "uzi_loop", "explode_02a",
             "gasoline_can_hit", "hammer", "chain_weap", "no_ammo_02", "no_ammo_03", "no_ammo_05",
             "no_ammo_06", "no_ammo_07", "emtyweap", "no_ammo_02", "fall_juicy_02"},
            // 2: level 0 (graveyard)
            {"lightning", "bell1", "wolves_long", "wind_loop", "wind_gust", "sea_laps"},
            // 3: level 1
            {"bell1", "crick_loop", "crick_loop_v2", "wind_loop", "wind_gust", "cem_motor", "cem_mix_eng",
             "cem_pour_temp", "steam_roll", "steam_roller_1", "steam_sq", "sea_laps"},
            // 4: level 2
            {"stream_loop", "waterwheel", "fall_juicy_03", "com_h_shred", "combine_harv_1", "combine_harv_2",
             "squash_crunch", "bell1", "crick_loop", "crick_loop_v2", "wind_loop", "wind_gust", "sea_laps"},
            // 5: level 3
            {},
            // 6: level 4
            {"mall_mus_eq", "crick_loop", "crick_loop_v2"},
            // 7: level 5
            {"bag_carou"},
            // 8: level 6
            {"alarm_00", "tennis_1", "tennis_2", "explode_02a", "crick_loop", "crick_loop_v2"},
            // 9: level 7
            {"crick_loop", "crick_loop_v2", "sea_laps", "wave_amb", "cable_boat", "tennis_1", "tennis_2",
             "explode_02a"},
            // 10: level 8
            {},
            // 11: level 9
            {"turb_gen_loop", "turb_gen_down", "zom_flsh", "sea_laps", "hydro_electro_lp", "dam_water_loop2",
             "mains_hum", "crick_loop", "crick_loop_v2"},
            // 12: level 10
            {"cable_boat", "sea_laps", "wave_amb", "crick_loop", "crick_loop_v2", "ship_horn1"},
            // 13: level 11
            {},
            // 14: level 12
            {"X-Ray"},
            // 15: level 13
            {"shov_hit", "siren_1", "warning_", "30", "20", "10", "05", "04", "03", "02", "01", "_selfde_",
             "sd_deac", "crick_loop", "crick_loop_v2"},
            // 16: level 14
            {"crick_loop", "crick_loop_v2", "wind_loop", "wind_gust"},
            // 17: level 15
            {"crick_loop", "crick_loop_v2", "wind_loop", "wind_gust", "sledgehammer", "auto_02", "steam_sq",
             "beam_loop", "beam_collapse_1"},
            // 18: level 16
            {"crick_loop", "crick_loop_v2", "wind_loop", "wind_gust"},
        };
        std::vector<std::vector<std::string>> files;
        for (const auto& group : stems) {
            files.emplace_back();
            for (const char* stem : group)
                files.back().push_back(std::string("sounds\\") + stem + ".aud");
        }
        return files;
    }();
    return kGroups;
}

}  // namespace dk
