// The surface trigger bindings: for each level id, the floor and wall texture file names whose
// faces act on the characters that touch them, and the kind of trigger each one is.
#pragma once
#include <array>
#include <cstdint>
#include <span>

enum class PhyTriggerKind : int32_t {
    DeadlyWater,
    WetCement,
    Spikes,
    ElectricFence,
    MetalDetector,
    PoisonedTiles,
    XrayFloor,
    TankBottom,
};

struct PhyTriggerBinding {
    const char* texture;  // texture file name, matched without regard to case
    PhyTriggerKind kind;
};

struct PhyLevelBindings {
    std::span<const PhyTriggerBinding> floor;
    std::span<const PhyTriggerBinding> wall;
};

namespace phy_bindings {
using K = PhyTriggerKind;
inline constexpr PhyTriggerBinding kWater[] = {
    {"GRAVDIE.BMP", K::DeadlyWater}, {"POOLTILE.BMP", K::DeadlyWater},
    {"BADWATER.BMP", K::DeadlyWater}, {"WATERPIT.BMP", K::DeadlyWater}};
inline constexpr PhyTriggerBinding kSpikes[] = {{"ZGSPIKE1.BMP", K::Spikes}, {"ZGSPIKE2.BMP", K::Spikes}};
inline constexpr PhyTriggerBinding kFloor1[] = {
    {"GRAVDIE.BMP", K::DeadlyWater}, {"POOLTILE.BMP", K::DeadlyWater}, {"BADWATER.BMP", K::DeadlyWater},
    {"WATERPIT.BMP", K::DeadlyWater}, {"WETCEMNT.BMP", K::WetCement}};
inline constexpr PhyTriggerBinding kFloor5[] = {{"FLORMDET.BMP", K::MetalDetector}};
inline constexpr PhyTriggerBinding kFloor7[] = {
    {"GRAVDIE.BMP", K::DeadlyWater}, {"POOLTILE.BMP", K::DeadlyWater}, {"BADWATER.BMP", K::DeadlyWater},
    {"WATERPIT.BMP", K::DeadlyWater}, {"HBADWATR.BMP", K::DeadlyWater}};
inline constexpr PhyTriggerBinding kFloor12[] = {
    {"GRAVDIE.BMP", K::DeadlyWater}, {"POOLTILE.BMP", K::DeadlyWater}, {"BADWATER.BMP", K::DeadlyWater},
    {"WATERPIT.BMP", K::DeadlyWater}, {"XRAYFLOR.BMP", K::XrayFloor}};
inline constexpr PhyTriggerBinding kFloor13[] = {
    {"GRAVDIE.BMP", K::DeadlyWater}, {"POOLTILE.BMP", K::DeadlyWater}, {"BADWATER.BMP", K::DeadlyWater},
    {"WATERPIT.BMP", K::DeadlyWater}, {"TILEDEAD.BMP", K::PoisonedTiles}};
inline constexpr PhyTriggerBinding kFloor15[] = {
    {"GRAVDIE.BMP", K::DeadlyWater}, {"POOLTILE.BMP", K::DeadlyWater}, {"BADWATER.BMP", K::DeadlyWater},
    {"WATERPIT.BMP", K::DeadlyWater}, {"TANKBTM.BMP", K::TankBottom}};
inline constexpr PhyTriggerBinding kWall9[] = {
    {"ZEF_HORI.BMP", K::ElectricFence}, {"ISO_SIDE.BMP", K::ElectricFence},
    {"ISO_TOP.BMP", K::ElectricFence}, {"ZELCGATE.BMP", K::ElectricFence}};
inline constexpr PhyTriggerBinding kWall10[] = {{"ZELCGATE.BMP", K::ElectricFence}};
inline constexpr PhyTriggerBinding kWall14[] = {
    {"FENCE3.BMP", K::ElectricFence}, {"ZEFENC1.BMP", K::ElectricFence},
    {"ZEFENC2.BMP", K::ElectricFence}, {"ZELCGATE.BMP", K::ElectricFence}};
// Levels 13, 15 and 16 share their fence.
inline constexpr PhyTriggerBinding kFence[] = {{"ZEF_HORI.BMP", K::ElectricFence}, {"ZELCGATE.BMP", K::ElectricFence}};
}  // namespace phy_bindings

// Levels 3, 8 and 11 have no bindings.
inline constexpr std::array<PhyLevelBindings, 17> kPhyLevelBindings = {{
    {phy_bindings::kWater, phy_bindings::kSpikes},    // 0
    {phy_bindings::kFloor1, {}},                      // 1
    {phy_bindings::kWater, {}},                       // 2
    {{}, {}},                                         // 3
    {phy_bindings::kWater, {}},                       // 4
    {phy_bindings::kFloor5, {}},                      // 5
    {phy_bindings::kWater, {}},                       // 6
    {phy_bindings::kFloor7, {}},                      // 7
    {{}, {}},                                         // 8
    {phy_bindings::kWater, phy_bindings::kWall9},     // 9
    {phy_bindings::kWater, phy_bindings::kWall10},    // 10
    {{}, {}},                                         // 11
    {phy_bindings::kFloor12, {}},                     // 12
    {phy_bindings::kFloor13, phy_bindings::kFence},   // 13
    {phy_bindings::kWater, phy_bindings::kWall14},    // 14
    {phy_bindings::kFloor15, phy_bindings::kFence},   // 15
    {phy_bindings::kWater, phy_bindings::kFence},     // 16
}};
