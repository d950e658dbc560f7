// The demo install: runs every piece of the data set in turn.
#include "datakit/demo.h"

#include <cstdio>
#include <filesystem>

#include "datakit/demo_steps.h"

namespace dk {

namespace {
struct DemoStep {
    const char* what;
    bool (*write)(const std::string& dir);
};
constexpr DemoStep kDemoSteps[] = {
    {"registry", DemoRegistry},
    {"title picture", DemoTitle},
    {"default palette", DemoPalette},
    {"fallback texture", DemoFallbackTexture},
    {"landscape maps", DemoMaps},
    {"models", DemoModels},
    {"sounds", DemoSounds},
    {"music", DemoMusic},
    {"interface pictures", DemoInterface},
    {"interface texts", DemoInterfaceText},
    {"movies", DemoMovies},
    {"settings", DemoSettings},
    {"archives", DemoArchives},  // last: packs what the steps above wrote
};
}  // namespace

bool WriteDemo(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "ghoulden-datakit: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return false;
    }
    for (const DemoStep& step : kDemoSteps) {
        if (!step.write(dir)) {
            std::fprintf(stderr, "ghoulden-datakit: writing the %s failed\n", step.what);
            return false;
        }
    }
    return true;
}

}  // namespace dk
