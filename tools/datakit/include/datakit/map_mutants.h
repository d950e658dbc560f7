// Seeded mutants of a text landscape map for hostile-input tests. Most changes put another
// number in place of one of the text's numbers (indices just past or far beyond their arrays,
// negative and huge values), so that records keep their shape and the readers take the bad
// values; the others overwrite, drop or repeat bytes and lines, or cut the text short. The same
// seed always gives the same mutant.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "datakit/map_demo.h"
#include "datakit/map_text.h"

namespace dk {

inline std::string MutateMapText(const std::string& text, uint32_t seed) {
    static const char* const kNumbers[] = {"0",      "-1",          "1",           "2",          "3",
                                           "17",     "32",          "33",          "50",         "217",
                                           "255",    "256",         "65535",       "65536",      "-65536",
                                           "-32768", "2147483647",  "-2147483648", "99999999999", "1e30",
                                           "-1e30",  "nan",         "inf",         "0.5",        "-0"};
    constexpr uint32_t kNumberCount = sizeof kNumbers / sizeof kNumbers[0];
    std::mt19937 rng(seed);
    std::string t = text;
    const int changes = 1 + int(rng() % 4);
    for (int k = 0; k < changes && !t.empty(); ++k) {
        const size_t at = rng() % t.size();
        switch (rng() % 10) {
        case 6:  // one byte overwritten
            t[at] = char(rng() % 256);
            break;
        case 7:  // a few bytes dropped
            t.erase(at, 1 + rng() % 16);
            break;
        case 8: {  // the line holding at repeated
            const size_t begin = t.rfind('\n', at) == std::string::npos ? 0 : t.rfind('\n', at) + 1;
            const size_t end = t.find('\n', at);
            const std::string line = t.substr(begin, end == std::string::npos ? std::string::npos : end - begin + 1);
            t.insert(begin, line);
            break;
        }
        case 9:  // cut short
            t.resize(at);
            break;
        default: {  // the next number from at replaced
            const size_t begin = t.find_first_of("0123456789", at);
            if (begin == std::string::npos) break;
            size_t end = t.find_first_not_of("0123456789.", begin);
            if (end == std::string::npos) end = t.size();
            const std::string number = rng() % 2 ? std::string(kNumbers[rng() % kNumberCount])
                                                 : std::to_string(int(rng() % 300) - 20);
            t.replace(begin, end - begin, number);
            break;
        }
        }
    }
    return t;
}

// The mutants the map tools' tests run them on, as (file name, text) pairs: seeded mutants of the
// demo map in each text dialect (the loader's own test runs thousands; a tool run costs a process,
// so a sample), and the demo map with one edge whose other edge lies far outside the edges, behind
// which an object is read.
inline std::vector<std::pair<std::string, std::string>> MapMutantFiles(uint32_t perDialect) {
    std::vector<std::pair<std::string, std::string>> maps;
    const struct {
        TextDialect dialect;
        const char* ext;
    } dialects[] = {{TextDialect::Alm, ".alm"}, {TextDialect::Blm, ".blm"}, {TextDialect::Clm, ".clm"}};
    for (const auto& d : dialects) {
        const std::string text = TextMapString(DemoMapData(), d.dialect);
        std::string bad = text;
        const size_t at = bad.find("other edge = ");
        if (at != std::string::npos) bad.insert(at + 13, "6553");
        maps.push_back({std::string("twin") + d.ext, bad});
        for (uint32_t seed = 0; seed < perDialect; ++seed)
            maps.push_back({"m" + std::to_string(seed) + d.ext, MutateMapText(text, seed)});
    }
    return maps;
}

}  // namespace dk
