// Separate processes on loopback: gics-testserver and two or three lobbex-cli players, each with
// its own registry file holding the game definition that gamedef-tool wrote. They get addresses
// 1, 2, 3, hear each other join and leave, create "Qor GULP" and exchange messages to all and to
// chosen members in order with the right senders.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../../krpeer/tests/peer_child.h"

namespace {

namespace fs = std::filesystem;
using kpt::Child;
using kpt::Tool;

struct Player {
    std::unique_ptr<Child> cli;
    // Sends a command and gives the line it answers (its first word is the command's).
    std::string Do(const std::string& command) {
        cli->Send(command);
        const std::string verb = command.substr(0, command.find(' '));
        return cli->Line(verb + " ");
    }
    // Reads until a message arrives (a bounded number of tries, each after a short wait).
    std::string ReadMessage() {
        for (int i = 0; i < 3000; ++i) {
            const std::string line = Do("read");
            if (line.rfind("read 0 ", 0) == 0 || line.empty()) return line;
            Do("wait 10");
        }
        return "";
    }
};

class gics_processes : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("gics_cli_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
        server_ = std::make_unique<Child>(Tool("gics-testserver"), std::vector<std::string>{});
        ASSERT_TRUE(server_->Started());
        port_ = server_->Port("port ");
        ASSERT_NE(port_, 0);
    }
    void TearDown() override {
        for (Player& p : players_) {
            p.cli->Send("quit");
            EXPECT_EQ(p.cli->Wait(), 0);
        }
        server_->Send("quit");
        EXPECT_EQ(server_->Wait(), 0);
        fs::remove_all(dir_);
    }
    Player& Join(const std::string& name, const std::string& expectedAddr) {
        const std::string registry = (dir_ / (name + ".ini")).string();
        Child tool(Tool("gamedef-tool"), {"--registry", registry, "--gics", "tcp:127.0.0.1:" + std::to_string(port_),
                                          "--name", name});
        EXPECT_EQ(tool.Wait(), 0);
        setenv("PLATFORM_REGISTRY", registry.c_str(), 1);
        players_.push_back(Player{std::make_unique<Child>(Tool("lobbex-cli"), std::vector<std::string>{})});
        Player& p = players_.back();
        EXPECT_EQ(p.Do("loadgamedef"), "loadgamedef 0 game 0");
        EXPECT_EQ(p.Do("join " + name), "join 0 addr " + expectedAddr);
        EXPECT_EQ(p.Do("notify on"), "notify 0");
        EXPECT_EQ(p.Do("create-gulp"), "create-gulp 0") << "the second create answers 0 as well";
        EXPECT_EQ(p.Do("open-gulp"), "open-gulp 0");
        return p;
    }

    fs::path dir_;
    std::unique_ptr<Child> server_;
    uint16_t port_ = 0;
    std::vector<Player> players_;
};

// In a script the server runs with its input ended or never open: it serves on until SIGINT or
// SIGTERM, which end it with code 0.
TEST_F(gics_processes, ServerRunsOnWithoutInputAndStopsOnSignal) {
    struct Case {
        const char* what;
        kpt::Input input;
        bool closeInput;
        int signal;
    } const cases[] = {
        {"input closed, SIGTERM", kpt::Input::kClosed, false, SIGTERM},
        {"input /dev/null, SIGINT", kpt::Input::kDevNull, false, SIGINT},
        {"input pipe ended, SIGTERM", kpt::Input::kPipe, true, SIGTERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server_->Send("quit");
        EXPECT_EQ(server_->Wait(), 0);
        server_ = std::make_unique<Child>(Tool("gics-testserver"), std::vector<std::string>{}, c.input);
        port_ = server_->Port("port ");
        ASSERT_NE(port_, 0);
        if (c.closeInput) server_->CloseInput();
        players_.reserve(1);
        Join("alpha", "1");  // the server outlived the end of its input
        players_.back().cli->Send("quit");
        EXPECT_EQ(players_.back().cli->Wait(), 0);
        players_.clear();
        server_->Signal(c.signal);
        EXPECT_EQ(server_->Wait(), 0);
    }
    // A server for the fixture to stop.
    server_ = std::make_unique<Child>(Tool("gics-testserver"), std::vector<std::string>{});
    port_ = server_->Port("port ");
}

TEST_F(gics_processes, TwoPlayersJoinExchangeAndLeave) {
    players_.reserve(2);
    Player& a = Join("alpha", "1");
    Player& b = Join("bravo", "2");
    EXPECT_EQ(a.cli->Line("join 2"), "join 2 bravo");
    EXPECT_EQ(a.Do("players"), "players 0 1 2");
    EXPECT_EQ(b.Do("name 1"), "name 0 alpha");
    EXPECT_EQ(a.Do("write 6869"), "write 0");
    EXPECT_EQ(b.ReadMessage(), "read 0 1 6869");
    EXPECT_EQ(b.Do("leave"), "leave 0");
    EXPECT_EQ(a.cli->Line("leave 2"), "leave 2 bravo");
}

TEST_F(gics_processes, ThreePlayersToAllAndToChosenMembers) {
    players_.reserve(3);
    Player& a = Join("alpha", "1");
    Player& b = Join("bravo", "2");
    Player& c = Join("charlie", "3");
    EXPECT_EQ(a.cli->Line("join 3"), "join 3 charlie");
    EXPECT_EQ(b.cli->Line("join 3"), "join 3 charlie");

    EXPECT_EQ(a.Do("write 01"), "write 0");
    EXPECT_EQ(a.Do("write 02"), "write 0");
    for (Player* p : {&b, &c}) {
        EXPECT_EQ(p->ReadMessage(), "read 0 1 01");
        EXPECT_EQ(p->ReadMessage(), "read 0 1 02");
    }
    // To player 3 only: player 1 is not listed and hears nothing of it.
    EXPECT_EQ(b.Do("write --to 3 5e"), "write 0");
    EXPECT_EQ(c.ReadMessage(), "read 0 2 5e");
    EXPECT_EQ(c.Do("write --to 1,2 ff"), "write 0");
    EXPECT_EQ(a.ReadMessage(), "read 0 3 ff") << "the first message player 1 gets after its own";
    EXPECT_EQ(b.ReadMessage(), "read 0 3 ff");
    EXPECT_EQ(a.Do("read"), "read -101");
    EXPECT_EQ(a.Do("meter"), "meter in 1 out 2");
    EXPECT_EQ(c.Do("leave"), "leave 0");
    EXPECT_EQ(a.cli->Line("leave 3"), "leave 3 charlie");
    EXPECT_EQ(b.cli->Line("leave 3"), "leave 3 charlie");
}

// ---- voice between two processes ----

using Bytes = std::vector<uint8_t>;

// 1 s of a 440 Hz tone, 16-bit mono at 8000 Hz.
Bytes Tone() {
    Bytes out(16000);
    for (size_t i = 0; i < 8000; ++i) {
        const auto v = (int16_t)std::lround(12000 * std::sin(2 * M_PI * 440 * (double)i / 8000));
        out[2 * i] = (uint8_t)(v & 0xFF);
        out[2 * i + 1] = (uint8_t)((uint16_t)v >> 8);
    }
    return out;
}

// The canonical 44-byte header of 16-bit mono PCM at 8000 Hz, written out field by field.
void WriteWav(const fs::path& path, const Bytes& samples) {
    auto le = [](Bytes* b, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b->push_back((uint8_t)(v >> (8 * i)));
    };
    Bytes b = {'R', 'I', 'F', 'F'};
    le(&b, 36 + (uint32_t)samples.size(), 4);
    for (char c : std::string("WAVEfmt ")) b.push_back((uint8_t)c);
    le(&b, 16, 4);
    le(&b, 1, 2);
    le(&b, 1, 2);
    le(&b, 8000, 4);
    le(&b, 16000, 4);
    le(&b, 2, 2);
    le(&b, 16, 2);
    for (char c : std::string("data")) b.push_back((uint8_t)c);
    le(&b, (uint32_t)samples.size(), 4);
    b.insert(b.end(), samples.begin(), samples.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), (std::streamsize)b.size());
}

// The samples after the canonical header (what lobbex-cli writes).
Bytes ReadWavSamples(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return b.size() > 44 ? Bytes(b.begin() + 44, b.end()) : Bytes{};
}

double SnrDb(const Bytes& source, const Bytes& decoded) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i + 1 < source.size() && i + 1 < decoded.size(); i += 2) {
        const double s = (int16_t)(source[i] | source[i + 1] << 8);
        const double d = (int16_t)(decoded[i] | decoded[i + 1] << 8);
        signal += s * s;
        noise += (s - d) * (s - d);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-9));
}

// A tone phrase from one process to another through the server's GULP relay, on a speech GULP with
// a callback: byte-equal in the raw styles 0 and 1; in styles 2 to 4 (the sender fills the last
// frame with silence) equal in length to the filled source and at least 15 dB above the coding
// noise. The codec libraries come from a copy of their folder: without libvox.so there, style 4
// cannot be selected; put back, it can.
TEST_F(gics_processes, AToneTravelsBetweenTwoProcessesInEveryStyle) {
    const fs::path codecs = dir_ / "codecs";
    fs::create_directories(codecs);
    for (const char* lib : {"libsc3dll.so", "libvox.so"}) fs::copy_file(fs::path(SPEECH_CODEC_DIR) / lib, codecs / lib);
    setenv("PLATFORM_LIBRARY_PATH", codecs.string().c_str(), 1);
    {
        fs::remove(codecs / "libvox.so");
        Player lone{std::make_unique<Child>(Tool("lobbex-cli"), std::vector<std::string>{})};
        EXPECT_EQ(lone.Do("select-style 4"), "select-style -2");
        fs::copy_file(fs::path(SPEECH_CODEC_DIR) / "libvox.so", codecs / "libvox.so");
        EXPECT_EQ(lone.Do("select-style 4"), "select-style 0");
        lone.cli->Send("quit");
        EXPECT_EQ(lone.cli->Wait(), 0);
    }
    players_.reserve(2);
    Player& mouth = Join("alpha", "1");
    Player& ear = Join("bravo", "2");
    EXPECT_EQ(ear.Do("close-gulp"), "close-gulp 0");
    EXPECT_EQ(ear.Do("open-speech-gulp"), "open-speech-gulp 0");
    const Bytes tone = Tone();
    const fs::path source = dir_ / "tone.wav";
    WriteWav(source, tone);
    const int32_t raw[5] = {480, 480, 480, 588, 1440};
    for (int style = 0; style <= 4; ++style) {
        SCOPED_TRACE("style " + std::to_string(style));
        const fs::path heard = dir_ / ("heard-" + std::to_string(style) + ".wav");
        EXPECT_EQ(mouth.Do("say " + std::to_string(style) + " " + source.string()), "say 0");
        if (style == 0) {
            EXPECT_EQ(ear.cli->Line("speech from "), "speech from 1") << "the callback names the sender";
        }
        Bytes sent = tone;
        if (style >= 2) sent.resize((sent.size() + (size_t)raw[style] - 1) / (size_t)raw[style] * (size_t)raw[style], 0);
        EXPECT_EQ(ear.Do("listen " + heard.string()), "listen " + std::to_string(sent.size()));
        const Bytes got = ReadWavSamples(heard);
        ASSERT_EQ(got.size(), sent.size());
        if (style < 2)
            EXPECT_TRUE(got == sent);
        else
            EXPECT_GE(SnrDb(sent, got), 15.0);
    }
}

// ---- the service's servers and pings ----

// The server lists 3 or 5 servers; a 16-byte buffer holds 3 addresses, so 5 give -153. One name
// is 127 characters (the flat field then has no terminator); one record has 3000 data bytes.
TEST_F(gics_processes, ServersAreListedQueriedFoundAndGamesPinged) {
    const std::string longName(127, 'n');
    for (int count : {3, 5}) {
        SCOPED_TRACE(std::to_string(count) + " servers");
        const fs::path list = dir_ / ("servers-" + std::to_string(count));
        {
            std::ofstream out(list);
            out << "# addr name data-bytes number text\n";
            out << "0x3001 first 10 7 the first server\n";
            out << "0x3002 " << longName << " 0 8\n";
            out << "0x3003 big 3000 9 lots of data\n";
            for (int i = 3; i < count; ++i) out << (0x3001 + i) << " extra-" << i << "\n";
        }
        server_->Send("quit");
        EXPECT_EQ(server_->Wait(), 0);
        server_ = std::make_unique<Child>(Tool("gics-testserver"), std::vector<std::string>{"--servers", list.string()});
        port_ = server_->Port("port ");
        ASSERT_NE(port_, 0);
        players_.reserve(1);
        Player& p = Join("alpha", "1");
        EXPECT_EQ(p.Do("enum-servers --buf 16"),
                  std::string(count == 3 ? "enum-servers 0" : "enum-servers -153") + " 3 12289 12290 12291");
        EXPECT_EQ(p.Do("enum-servers --buf 3"), "enum-servers -153") << "no room for the count";
        EXPECT_EQ(p.Do("query-server 0x3001"),
                  "query-server 0 addr 12289 name first terminated 1 number 7 length 10 pattern 10");
        EXPECT_EQ(p.Do("query-server 0x3002"),
                  "query-server 0 addr 12290 name " + longName + " terminated 0 number 8 length 0 pattern 0");
        EXPECT_EQ(p.Do("find-server big"), "find-server 0 addr 12291 name big terminated 1 number 9 length 3000 pattern 3000");
        EXPECT_EQ(p.Do("find-server nobody"), "find-server -141");
        EXPECT_EQ(p.Do("query-server 0x3999"), "query-server -141");
        const std::string ping = p.Do("ping-game");
        EXPECT_EQ(ping.rfind("ping-game 0 ", 0), 0u) << ping;
        EXPECT_LT(std::stoul(ping.substr(12)), 99999999u) << ping;
        EXPECT_EQ(p.Do("ping-gulp").rfind("ping-gulp 0 ", 0), 0u);
        EXPECT_EQ(p.Do("ping-session 0"), "ping-session -1 99999999");
        EXPECT_EQ(p.Do("ping-addr tcp/127.0.0.1/" + std::to_string(port_)).rfind("ping-addr 0 ", 0), 0u);
        p.cli->Send("quit");
        EXPECT_EQ(p.cli->Wait(), 0);
        players_.clear();
    }
}

// The name cache and the mute list through lobbex-cli: a name asked of the server is cached, muting
// it marks the cached entry, unmuting clears it.
TEST_F(gics_processes, NamesAreCachedAndMuted) {
    players_.reserve(2);
    Player& a = Join("alpha", "1");
    Join("bravo", "2");
    EXPECT_EQ(a.cli->Line("join 2"), "join 2 bravo");
    EXPECT_EQ(a.Do("names"), "names 0");
    EXPECT_EQ(a.Do("cached-name 2"), "cached-name 0 bravo muted 0");
    EXPECT_EQ(a.Do("mute BRAVO"), "mute 0");
    EXPECT_EQ(a.Do("mute bravo"), "mute -1") << "already muted";
    EXPECT_EQ(a.Do("cached-name 2"), "cached-name 0 bravo muted 1");
    EXPECT_EQ(a.Do("names"), "names 1 2:bravo:1");
    EXPECT_EQ(a.Do("unmute Bravo"), "unmute 0");
    EXPECT_EQ(a.Do("names"), "names 1 2:bravo:0");
    EXPECT_EQ(a.Do("cached-name 77"), "cached-name -1 KRADDR4D muted 0") << "nobody of that address";
}

}  // namespace
