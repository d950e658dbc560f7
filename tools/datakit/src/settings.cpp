// The options, network options and save file writers.
#include "datakit/settings.h"

#include <cstring>

namespace dk {

std::string OptionsFileText(const OptionsFile& o) {
    std::string line;
    for (int value : {o.displayMode, o.levelMovies, o.edgeScroll, 8, o.cdMusic, o.volumeStep, o.fog, o.worldLighting,
                      o.modelLighting})
        line += static_cast<char>(value + 32);
    return line + "\r\n";
}

std::string NetOptionsFileText(const NetOptionsFile& o) {
    std::string text;
    for (const std::string& line : {o.name, o.address, o.connection, o.phone, std::to_string(o.comPort),
                                    std::to_string(o.baudRate), std::to_string(o.stopBits), std::to_string(o.parity),
                                    std::to_string(o.flowControl)})
        text += line + "\r\n";
    return text;
}

std::vector<uint8_t> SaveFileBytes(const SaveFile& s) {
    std::vector<uint8_t> out(3000, 0);
    auto byte = [](int v) { return static_cast<uint8_t>(v & 0xff); };
    out[0] = byte(s.level);
    for (int i = 0; i < 17; ++i)
        out[1 + i] = byte(s.progress[i]);
    const int stamp[6] = {s.hour, s.minute, s.month, s.day, s.year / 100, s.year % 100};
    for (int i = 0; i < 6; ++i)
        out[18 + i] = byte(stamp[i]);
    for (int g = 0; g < 16; ++g)
        for (int m = 0; m < 4; ++m) {
            const SaveMember& member = s.groups[g][m];
            uint8_t* p = out.data() + 24 + (g * 4 + m) * 20;
            p[0] = byte(member.character);
            p[1] = byte(member.status);
            for (int e = 0; e < 9; ++e) {
                p[2 + 2 * e] = byte(member.items[e]);
                p[3 + 2 * e] = byte(member.counts[e]);
            }
        }
    const char* signature = "Ghoulden by Quorlane";
    std::memcpy(out.data() + 1304, signature, std::strlen(signature));
    return out;
}

}  // namespace dk
