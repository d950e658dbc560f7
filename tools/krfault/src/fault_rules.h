// The rules of the fault-injection proxy and what they do to each unit of traffic (a datagram, or
// a chunk read from a TCP connection): parsing the rule words of the command line, choosing the
// units a rule acts on (every unit, a seeded share, the Nth in a direction, those holding a byte
// pattern, or once a byte count has passed) and turning one unit into what is sent on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kf {

enum Direction : int { kClientToServer = 0, kServerToClient = 1 };
const char* DirectionName(Direction direction);

enum class Action { kDrop, kDup, kReorder, kDelay, kCorrupt, kTruncate, kSplit, kReset, kStall, kNoAccept };
enum class Select { kEvery, kPercent, kNth, kPattern, kAfterBytes };

struct Rule {
    Action action = Action::kDrop;
    uint32_t argument = 0; // delay ms, truncate length
    int directions = 3;    // bit 0 client to server, bit 1 server to client
    Select select = Select::kEvery;
    uint32_t number = 0; // percent, N, or byte count
    std::vector<uint8_t> pattern;
    bool fired = false; // the Nth and the byte-count selections act once
};

struct RuleSet {
    uint32_t seed = 1;
    std::vector<Rule> rules;
};

// Parses the rule words; false with `error` set for a word that is not a rule.
//   seed=N
//   ACTION[=ARG][:c2s|:s2c|:both][%P|#N|~HEX|>N]
// with ACTION one of drop, dup, reorder, delay=MS, corrupt, truncate=N, split, reset, stall,
// noaccept.
bool ParseRules(const std::vector<std::string>& words, RuleSet* out, std::string* error);

// One piece to send on, after `delayMs` milliseconds.
struct Emit {
    std::vector<uint8_t> bytes;
    uint32_t delayMs = 0;
};

struct Verdict {
    std::vector<Emit> emits; // in order; empty when the unit is dropped or held back
    bool split = false;      // write the bytes one at a time
    bool reset = false;      // reset the connection instead
    std::vector<std::string> log;
};

class FaultEngine {
public:
    explicit FaultEngine(RuleSet rules);
    Verdict Apply(Direction direction, std::vector<uint8_t> unit);
    bool Has(Action action, Direction direction) const;
    uint64_t Units(Direction direction) const { return units_[direction]; }
    uint64_t Bytes(Direction direction) const { return bytes_[direction]; }

private:
    bool Selected(Rule& rule, uint64_t unitNumber, uint64_t bytesSoFar, const std::vector<uint8_t>& unit);

    RuleSet set_;
    uint64_t units_[2] = {0, 0};
    uint64_t bytes_[2] = {0, 0};
    std::vector<Emit> held_[2]; // reordered units wait for the next unit of their direction
};

}  // namespace kf
