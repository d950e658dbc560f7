// Loader of the localised text file. Each section runs from its opening marker "[>name]" to the
// first closing marker "[<name]" after it; a section without both is skipped. Inside, each line
// that starts with one of the section's keys (with its "=") stores the rest of the line in that
// key's slot: CR or a zero byte ends the value, "~" becomes a line feed, a line keeps at most
// 9999 characters, and list lines beyond their table are ignored. Every search is bounded by the
// buffer size, as the file is not zero-terminated.
#include "ui/txt.h"

#include <cstdio>
#include <cstring>

#include "common/mem.h"
#include "common/muf.h"

#define TXT_NAME(k) #k "=",
const char* const g_TxtMenuKeyNames[TXT_MENU_KEY_COUNT] = {TXT_MENU_KEYS(TXT_NAME)};
#undef TXT_NAME
static_assert(TXT_MENU_KEY_COUNT == 194, "the menu section has 194 keys");

const char* const g_TxtLocationKeyNames[TXT_LOCATIONS] = {
    "graveyard=", "town=",   "farm=",         "drivein=", "shoppingmall=", "airport=",
    "sportscomplex=", "hotel=", "campground=", "hydroelectricplant=", "docks=", "trainingbase=",
    "hospital=", "labs=",   "securitybase=", "factory=", "escape=",
};

char* g_MenuTexts[TXT_MENU_KEY_COUNT];
char* g_LocationNames[TXT_LOCATIONS];
char* g_LoadingTexts[TXT_LOCATIONS];
char* g_LoadingKeypress;
char* g_LoadingLoading;
char* g_LevelWonTexts[TXT_LOCATIONS];
char* g_LevelWonKeypress;
char* g_LevelWonLoading;
char* g_LevelFailedTexts[TXT_LOCATIONS];
char* g_LevelFailedKeypress;
char* g_LevelFailedLoading;
char* g_LocationTitles[TXT_LOCATIONS];
char* g_ObjectNames[TXT_OBJECT_NAMES];
char* g_CharacterTexts[TXT_CHARACTER_TEXTS];

namespace {

struct KeySlot {
    const char* key;
    char** slot;
};

// One section: its name, its keyed slots, or the list it fills line by line.
struct Section {
    const char* name;
    char** locations;     // the 17 location slots, or null
    char** keypress;      // "keypress=" slot, or null
    char** loading;       // "loading=" slot, or null
    bool menus;
    const char* listKey;  // "o=" / "c=", or null
    char** list;
    int listSize;
};

const Section kSections[] = {
    {"locations", g_LocationNames, nullptr, nullptr, false, nullptr, nullptr, 0},
    {"loadtextlocations", g_LoadingTexts, &g_LoadingKeypress, &g_LoadingLoading, false, nullptr, nullptr, 0},
    {"exittextlocations", g_LevelWonTexts, &g_LevelWonKeypress, &g_LevelWonLoading, false, nullptr, nullptr, 0},
    {"failedtextlocations", g_LevelFailedTexts, &g_LevelFailedKeypress, &g_LevelFailedLoading, false, nullptr,
     nullptr, 0},
    {"menus", nullptr, nullptr, nullptr, true, nullptr, nullptr, 0},
    {"objects", nullptr, nullptr, nullptr, false, "o=", g_ObjectNames, TXT_OBJECT_NAMES},
    {"characters", nullptr, nullptr, nullptr, false, "c=", g_CharacterTexts, TXT_CHARACTER_TEXTS},
    {"textlocations", g_LocationTitles, nullptr, nullptr, false, nullptr, nullptr, 0},
};

// First position at or after from where needle (length n) stands entirely inside the buffer.
int64_t Find(const char* buf, uint32_t size, uint32_t from, const char* needle, uint32_t n) {
    if (n == 0 || size < n)
        return -1;
    for (uint32_t i = from; i + n <= size; ++i)
        if (buf[i] == needle[0] && std::memcmp(buf + i, needle, n) == 0)
            return i;
    return -1;
}

// Replaces the slot with a tracked copy of value (up to its first zero byte).
void Store(char** slot, const char* value) {
    const size_t n = std::strlen(value);
    char* copy = static_cast<char*>(MEM_Alloc(static_cast<uint32_t>(n + 1), MEM_TAG_TEXT));
    if (!copy)
        return;  // no memory: the old text stays
    std::memcpy(copy, value, n + 1);
    MEM_Free(*slot);
    *slot = copy;
}

bool StartsWith(const char* line, const char* key, size_t* keyLength) {
    *keyLength = std::strlen(key);
    return std::strncmp(line, key, *keyLength) == 0;
}

void ApplyLine(const Section& s, const char* line, int* listCount) {
    size_t n = 0;
    if (s.locations)
        for (int i = 0; i < TXT_LOCATIONS; ++i)
            if (StartsWith(line, g_TxtLocationKeyNames[i], &n))
                Store(&s.locations[i], line + n);
    if (s.keypress && StartsWith(line, "keypress=", &n))
        Store(s.keypress, line + n);
    if (s.loading && StartsWith(line, "loading=", &n))
        Store(s.loading, line + n);
    if (s.menus)
        for (int i = 0; i < TXT_MENU_KEY_COUNT; ++i)
            if (StartsWith(line, g_TxtMenuKeyNames[i], &n))
                Store(&g_MenuTexts[i], line + n);
    if (s.listKey && StartsWith(line, s.listKey, &n)) {
        if (*listCount < s.listSize)
            Store(&s.list[*listCount], line + n);
        ++*listCount;  // surplus lines are ignored
    }
}

void ParseSection(const Section& s, const char* buf, uint32_t size, char* line) {
    char open[40], close[40];
    const int no = std::snprintf(open, sizeof open, "[>%s]", s.name);
    const int nc = std::snprintf(close, sizeof close, "[<%s]", s.name);
    const int64_t begin = Find(buf, size, 0, open, static_cast<uint32_t>(no));
    if (begin < 0)
        return;
    // The closing marker counts only after the opening one.
    const int64_t end = Find(buf, size, static_cast<uint32_t>(begin + no), close, static_cast<uint32_t>(nc));
    if (end < 0)
        return;
    int listCount = 0;
    uint32_t pos = static_cast<uint32_t>(begin);
    const uint32_t stop = static_cast<uint32_t>(end);
    while (pos < stop) {
        std::memset(line, 0, TXT_LINE_BUFFER);
        uint32_t len = 0;
        while (pos < stop) {
            const char c = buf[pos++];
            if (c == '\n')
                break;
            if (len >= TXT_LINE_BUFFER - 1)
                continue;  // over-long line: the rest is dropped
            line[len++] = c == '\r' ? '\0' : (c == '~' ? '\n' : c);
        }
        ApplyLine(s, line, &listCount);
    }
}

}  // namespace

void TXT_ParseBuffer(const char* buffer, uint32_t size) {
    if (!buffer || size == 0)
        return;
    char* line = static_cast<char*>(MEM_Alloc(TXT_LINE_BUFFER, MEM_TAG_TEXT));
    if (!line)
        return;
    for (const Section& s : kSections)
        ParseSection(s, buffer, size, line);
    MEM_Free(line);
}

int TXT_LoadTextFile() {
    static const char kName[] = "data\\if_t_eng.dat";
    const char* path = MUF_ExtractToTemp(kName);
    uint32_t size = 0;
    void* file = MUF_LoadFile(path, &size);
    if (path != kName && std::strcmp(path, kName) != 0)
        std::remove(path);  // the extracted copy is not needed any more
    if (file)
        TXT_ParseBuffer(static_cast<const char*>(file), size);
    MEM_Free(file);
    return 1;
}

void TXT_FreeTexts() {
    auto release = [](char** slots, int n) {
        for (int i = 0; i < n; ++i) {
            MEM_Free(slots[i]);
            slots[i] = nullptr;
        }
    };
    release(g_MenuTexts, TXT_MENU_KEY_COUNT);
    release(g_LocationNames, TXT_LOCATIONS);
    release(g_LoadingTexts, TXT_LOCATIONS);
    release(g_LevelWonTexts, TXT_LOCATIONS);
    release(g_LevelFailedTexts, TXT_LOCATIONS);
    release(g_LocationTitles, TXT_LOCATIONS);
    release(g_ObjectNames, TXT_OBJECT_NAMES);
    release(g_CharacterTexts, TXT_CHARACTER_TEXTS);
    char** singles[] = {&g_LoadingKeypress, &g_LoadingLoading, &g_LevelWonKeypress,
                        &g_LevelWonLoading, &g_LevelFailedKeypress, &g_LevelFailedLoading};
    for (char** s : singles)
        release(s, 1);
}

const char* TXT_Menu(TxtMenuKey key) {
    if (key < 0 || key >= TXT_MENU_KEY_COUNT)
        return nullptr;
    return g_MenuTexts[key];
}
