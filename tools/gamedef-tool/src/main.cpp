// gamedef-tool: writes GAMEDEF into a registry file (see gamedef_record.h for the switches).
#include <cstdio>
#include <string>
#include <vector>

#include "gamedef_record.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    GameDefOptions options;
    std::string error;
    if (!ParseGameDefOptions(args, &options, &error)) {
        std::fprintf(stderr, "gamedef-tool: %s\n%s", error.c_str(), GameDefUsage());
        return 2;
    }
    if (WriteGameDef(options, &error) != 0) {
        std::fprintf(stderr, "gamedef-tool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
