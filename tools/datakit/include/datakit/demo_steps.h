// The pieces of the demo install, one function per kind of data; demo.cpp runs them in order.
// Each writes its files under dir (the install root) and returns false on failure.
#pragma once
#include <string>

namespace dk {

bool DemoRegistry(const std::string& dir);  // DIR/registry.ini with SourcePath and TargetPath
bool DemoTitle(const std::string& dir);     // the title picture shown at start-up
bool DemoPalette(const std::string& dir);   // "def_pal.bin", the palette of 8-bit display modes
bool DemoFallbackTexture(const std::string& dir);  // "deftxtr.bmp", for textures that cannot be loaded
bool DemoMaps(const std::string& dir);      // every level's landscape map and one of each text dialect
bool DemoModels(const std::string& dir);    // the character bodies and the world objects' models
bool DemoSounds(const std::string& dir);    // every sound group's .aud files
bool DemoMusic(const std::string& dir);     // "music/trackNN.wav", the CD tracks the game plays
bool DemoInterface(const std::string& dir);      // interface pictures: backgrounds, pointers, frames, font glyphs
bool DemoInterfaceText(const std::string& dir);  // "data/if_t_eng.dat", the interface texts
bool DemoMovies(const std::string& dir);    // "movies/*.avi", loose (never packed): the intro and the others
bool DemoSettings(const std::string& dir);  // "data/if_op.dat", "data/if_mpop.dat", "demo-input.txt"
// Packs the loose files of the steps before it into the install's .muf archives: keep it last.
bool DemoArchives(const std::string& dir);

}  // namespace dk
