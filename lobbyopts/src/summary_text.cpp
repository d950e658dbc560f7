// Builds the summary's text line by line with bounded formatting.
#include "summary_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "offer_tables.h"

namespace {

constexpr std::size_t kTextSize = 512;
constexpr std::size_t kLineSize = 256;
constexpr const char kUnknown[] = "?";

struct SummaryText {
    char text[kTextSize] = {};
    std::size_t used = 0;

    // Formats one line and appends as much of it as still fits.
    __attribute__((format(printf, 2, 3))) void Line(const char* format, ...) {
        char line[kLineSize];
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        if (n <= 0)
            return;
        std::size_t len = std::strlen(line);
        std::size_t room = kTextSize - 1 - used;
        if (len > room)
            len = room;
        std::memcpy(text + used, line, len);
        used += len;
        text[used] = 0;
    }
};

} // namespace

std::string BuildSummaryText(const OfferSettings& s, int32_t lastError) {
    SummaryText t;
    const GameTypeRow* type = GameTypeAt(GameTypePosition(s.gameType));
    const LevelRow* level = LevelAt(s.levelIndex);
    t.Line("Game Settings: \n\n");
    t.Line("Game Type: %s\n", type ? type->name : kUnknown);
    t.Line("Level: %s\n", level ? level->name : kUnknown);
    if (s.fragLimit == 0)
        t.Line("Frag Limit: NONE\n");
    else
        t.Line("Frag Limit: %d Kills\n", s.fragLimit);
    if (s.timeLimit == 0)
        t.Line("Time Limit: NONE\n");
    else
        t.Line("Time Limit: %d Minutes\n", s.timeLimit);
    t.Line(s.traps == 0 ? "Traps: OFF\n" : "Traps: ON\n");
    t.Line("Last Error: %d\n", lastError);
    return std::string(t.text, t.used);
}
