// The proxy's rules and what they do to one unit of traffic (see fault_rules.h).
#include "fault_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "plat.h"

namespace kf {

namespace {

struct ActionName {
    const char* name;
    Action action;
    bool takesArgument;
};
constexpr ActionName kActions[] = {
    {"drop", Action::kDrop, false},         {"dup", Action::kDup, false},     {"reorder", Action::kReorder, false},
    {"delay", Action::kDelay, true},        {"corrupt", Action::kCorrupt, false},
    {"truncate", Action::kTruncate, true},  {"split", Action::kSplit, false}, {"reset", Action::kReset, false},
    {"stall", Action::kStall, false},       {"noaccept", Action::kNoAccept, false},
};

bool ParseNumber(const std::string& text, uint32_t* out) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (uint64_t)(c - '0');
    }
    if (value > 0xFFFFFFFFu) return false;
    *out = (uint32_t)value;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>* out) {
    if (text.empty() || text.size() % 2) return false;
    out->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        out->push_back((uint8_t)(high * 16 + low));
    }
    return true;
}

bool ParseRule(const std::string& word, Rule* rule, std::string* error) {
    size_t at = 0;
    while (at < word.size() && word[at] >= 'a' && word[at] <= 'z') ++at;
    const std::string name = word.substr(0, at);
    const ActionName* found = nullptr;
    for (const ActionName& a : kActions)
        if (name == a.name) found = &a;
    if (!found) {
        *error = "unknown action in \"" + word + "\"";
        return false;
    }
    rule->action = found->action;
    if (found->takesArgument) {
        if (at >= word.size() || word[at] != '=') {
            *error = "\"" + name + "\" needs =N";
            return false;
        }
        size_t end = word.find_first_of(":%#~>", at + 1);
        if (!ParseNumber(word.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1),
                         &rule->argument)) {
            *error = "bad number in \"" + word + "\"";
            return false;
        }
        at = end == std::string::npos ? word.size() : end;
    }
    if (at < word.size() && word[at] == ':') {
        size_t end = word.find_first_of("%#~>", at + 1);
        const std::string direction = word.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        if (direction == "c2s")
            rule->directions = 1;
        else if (direction == "s2c")
            rule->directions = 2;
        else if (direction == "both")
            rule->directions = 3;
        else {
            *error = "bad direction in \"" + word + "\"";
            return false;
        }
        at = end == std::string::npos ? word.size() : end;
    }
    if (at < word.size()) {
        const char kind = word[at];
        const std::string rest = word.substr(at + 1);
        bool ok = false;
        switch (kind) {
        case '%':
            rule->select = Select::kPercent;
            ok = ParseNumber(rest, &rule->number) && rule->number <= 100;
            break;
        case '#':
            rule->select = Select::kNth;
            ok = ParseNumber(rest, &rule->number) && rule->number > 0;
            break;
        case '~':
            rule->select = Select::kPattern;
            ok = ParseHex(rest, &rule->pattern);
            break;
        case '>':
            rule->select = Select::kAfterBytes;
            ok = ParseNumber(rest, &rule->number);
            break;
        default: break;
        }
        if (!ok) {
            *error = "bad selection in \"" + word + "\"";
            return false;
        }
    }
    return true;
}

}  // namespace

const char* DirectionName(Direction direction) {
    return direction == kClientToServer ? "c2s" : "s2c";
}

bool ParseRules(const std::vector<std::string>& words, RuleSet* out, std::string* error) {
    RuleSet set;
    for (const std::string& word : words) {
        if (word.rfind("seed=", 0) == 0) {
            if (!ParseNumber(word.substr(5), &set.seed)) {
                *error = "bad seed in \"" + word + "\"";
                return false;
            }
            continue;
        }
        Rule rule;
        if (!ParseRule(word, &rule, error)) return false;
        set.rules.push_back(rule);
    }
    *out = set;
    return true;
}

FaultEngine::FaultEngine(RuleSet rules) : set_(std::move(rules)) {
    plat::srand(set_.seed);
}

bool FaultEngine::Has(Action action, Direction direction) const {
    for (const Rule& r : set_.rules)
        if (r.action == action && (r.directions & (1 << direction))) return true;
    return false;
}

bool FaultEngine::Selected(Rule& rule, uint64_t unitNumber, uint64_t bytesSoFar, const std::vector<uint8_t>& unit) {
    switch (rule.select) {
    case Select::kEvery: return true;
    case Select::kPercent: return (uint32_t)(plat::rand() % 100) < rule.number;
    case Select::kNth:
        if (rule.fired || unitNumber != rule.number) return false;
        rule.fired = true;
        return true;
    case Select::kPattern:
        return !rule.pattern.empty() &&
               std::search(unit.begin(), unit.end(), rule.pattern.begin(), rule.pattern.end()) != unit.end();
    case Select::kAfterBytes:
        if (rule.fired || bytesSoFar <= rule.number) return false;
        rule.fired = true;
        return true;
    }
    return false;
}

Verdict FaultEngine::Apply(Direction direction, std::vector<uint8_t> unit) {
    Verdict verdict;
    const uint64_t number = ++units_[direction];
    bytes_[direction] += unit.size();
    const size_t received = unit.size();
    bool dropped = false, held = false;
    int copies = 1;
    uint32_t delay = 0;
    auto note = [&](const std::string& what) {
        char line[160];
        std::snprintf(line, sizeof line, "krfault: %s #%llu %s (%zu bytes)", DirectionName(direction),
                      (unsigned long long)number, what.c_str(), received);
        verdict.log.push_back(line);
    };
    for (Rule& rule : set_.rules) {
        if (!(rule.directions & (1 << direction))) continue;
        if (rule.action == Action::kStall || rule.action == Action::kNoAccept) continue; // set-up only
        if (!Selected(rule, number, bytes_[direction], unit)) continue;
        switch (rule.action) {
        case Action::kDrop:
            dropped = true;
            note("drop");
            break;
        case Action::kDup:
            copies = 2;
            note("dup");
            break;
        case Action::kReorder:
            held = true;
            note("reorder");
            break;
        case Action::kDelay:
            delay = rule.argument;
            note("delay " + std::to_string(rule.argument) + " ms");
            break;
        case Action::kCorrupt:
            if (!unit.empty()) {
                size_t at = (size_t)plat::rand() % unit.size();
                unit[at] ^= 0xFF;
                note("corrupt byte " + std::to_string(at));
            }
            break;
        case Action::kTruncate:
            if (unit.size() > rule.argument) {
                unit.resize(rule.argument);
                note("truncate to " + std::to_string(rule.argument));
            }
            break;
        case Action::kSplit: verdict.split = true; break;
        case Action::kReset:
            verdict.reset = true;
            note("reset");
            break;
        default: break;
        }
    }
    if (verdict.reset) return verdict;
    std::vector<Emit> now;
    if (!dropped)
        for (int i = 0; i < copies; ++i) now.push_back(Emit{unit, delay});
    if (held) {
        // Sent after the next unit of this direction.
        for (Emit& e : now) held_[direction].push_back(std::move(e));
        return verdict;
    }
    verdict.emits = std::move(now);
    for (Emit& e : held_[direction]) verdict.emits.push_back(std::move(e));
    held_[direction].clear();
    return verdict;
}

}  // namespace kf
