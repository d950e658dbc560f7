// DirectPlay sessions over TCP/IP sockets (see dplay.h for the wire): the session object that
// hosts or joins, its service thread (accepting, reading frames, relaying on the host,
// keep-alive), and the process's enumeration responder, which answers the machine's UDP port for
// every session this process hosts.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "dplay_internal.h"

namespace plat {
namespace {
std::atomic<DWORD> g_EnumWindow{300};
}  // namespace
void DpSetEnumWindow(DWORD ms) {
    g_EnumWindow.store(ms);
}
}  // namespace plat

namespace plat::dp {
namespace {

constexpr uint32_t kKeepAliveEveryMs = 1000;
constexpr uint32_t kSilentDeadMs = 5000;
constexpr int kWaitMs = 5000;  // join and player creation wait at most this long for the host

uint32_t NowMs() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string GuidKey(const GUID& g) {
    uint8_t b[16];
    PutGuid(b, g);
    return std::string(reinterpret_cast<char*>(b), 16);
}

bool IsZero(const GUID& g) {
    return g == GUID{};
}

GUID NewInstanceGuid() {
    static std::mutex lock;
    static std::mt19937_64 engine{std::random_device{}()};
    std::lock_guard<std::mutex> guard(lock);
    GUID g;
    const uint64_t a = engine(), b = engine();
    g.Data1 = uint32_t(a) | 1u;  // never 8 zero bytes at the start: an empty entry looks like that
    g.Data2 = uint16_t(a >> 32);
    g.Data3 = uint16_t(a >> 48);
    for (int i = 0; i < 8; ++i) g.Data4[i] = uint8_t(b >> (8 * i));
    return g;
}

bool SendAll(int fd, const uint8_t* p, size_t n) {
    while (n) {
        const ssize_t sent = ::send(fd, p, n, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        p += sent;
        n -= size_t(sent);
    }
    return true;
}

bool SendFrame(int fd, const std::vector<uint8_t>& body) {
    if (fd < 0) return false;
    uint8_t head[4];
    for (int i = 0; i < 4; ++i) head[i] = uint8_t(body.size() >> (8 * i));
    iovec parts[2] = {{head, 4}, {const_cast<uint8_t*>(body.data()), body.size()}};
    msghdr m{};
    m.msg_iov = parts;
    m.msg_iovlen = 2;
    ssize_t sent;
    do sent = ::sendmsg(fd, &m, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    if (sent == ssize_t(body.size() + 4)) return true;
    if (sent < 0) return false;
    // A short write: send the rest in order.
    const size_t done = size_t(sent);
    if (done < 4 && !SendAll(fd, head + done, 4 - done)) return false;
    const size_t bodyDone = done > 4 ? done - 4 : 0;
    return SendAll(fd, body.data() + bodyDone, body.size() - bodyDone);
}

void SendDatagram(int fd, const sockaddr_in& to, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> d;
    Append32(d, kMagic);
    d.insert(d.end(), body.begin(), body.end());
    ::sendto(fd, d.data(), d.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void NoDelay(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// "host" or "host:port"; empty or "undefined" is this machine; the port defaults to the
// machine's DirectPlay port.
bool ResolveINet(const std::string& text, sockaddr_in* out) {
    std::string host = text, port;
    if (host.empty() || host == "undefined") host = "127.0.0.1";
    if (const size_t colon = host.rfind(':'); colon != std::string::npos) {
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    unsigned long portNumber = DpMachinePort();
    if (!port.empty()) {
        char* end = nullptr;
        portNumber = std::strtoul(port.c_str(), &end, 10);
        if (*end || portNumber == 0 || portNumber > 65535) return false;
    }
    if (portNumber == 0) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    *out = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    out->sin_port = htons(uint16_t(portNumber));
    freeaddrinfo(found);
    return true;
}

// ---- The process's enumeration responder -----------------------------------------------------

struct HostEntry {
    DpSessionRecord session;
    std::vector<DpPlayerRecord> players;
};

struct Responder {
    std::mutex lifecycle;  // held across starting and stopping
    std::mutex lock;       // the table and the socket
    std::map<const void*, HostEntry> hosts;
    int udp = -1;
    int wake[2] = {-1, -1};
    std::thread thread;

    void Serve() {
        for (;;) {
            pollfd fds[2] = {{wake[0], POLLIN, 0}, {udp, POLLIN, 0}};
            if (::poll(fds, 2, 1000) < 0 && errno != EINTR) return;
            if (fds[0].revents) return;
            if (!(fds[1].revents & POLLIN)) continue;
            uint8_t buf[2048];
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            const ssize_t n = ::recvfrom(udp, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (n < 5) continue;
            Reader r{buf, size_t(n)};
            if (r.U32() != kMagic) continue;
            const uint8_t kind = r.U8();
            const GUID guid = r.Guid();
            if (!r.AtEnd()) continue;
            std::lock_guard<std::mutex> guard(lock);
            for (const auto& [owner, entry] : hosts) {
                if (kind == kEnumQuery && (IsZero(guid) || guid == entry.session.application))
                    SendDatagram(udp, from, DpWriteEnumReply(entry.session));
                if (kind == kPlayersQuery && guid == entry.session.instance)
                    SendDatagram(udp, from, DpWritePlayerList(guid, entry.players));
            }
        }
    }

    bool Register(const void* owner, const HostEntry& entry) {
        std::lock_guard<std::mutex> life(lifecycle);
        if (udp < 0) {
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            if (fd < 0) return false;
            int one = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in at{};
            at.sin_family = AF_INET;
            at.sin_addr.s_addr = htonl(INADDR_ANY);
            const DWORD port = DpMachinePort();
            at.sin_port = htons(uint16_t(port));
            socklen_t size = sizeof at;
            if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0 || ::pipe2(wake, O_CLOEXEC) != 0) {
                ::close(fd);
                return false;
            }
            // A machine without a port keeps the one the system chose, so that its clients find it.
            if (port == 0) DpSetMachinePort(ntohs(at.sin_port));
            udp = fd;
            thread = std::thread([this] { Serve(); });
        }
        std::lock_guard<std::mutex> guard(lock);
        hosts[owner] = entry;
        return true;
    }

    void Update(const void* owner, const HostEntry& entry) {
        std::lock_guard<std::mutex> guard(lock);
        auto it = hosts.find(owner);
        if (it != hosts.end()) it->second = entry;
    }

    void Unregister(const void* owner) {
        std::lock_guard<std::mutex> life(lifecycle);
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!hosts.erase(owner) || !hosts.empty()) return;
        }
        if (udp < 0) return;
        const char stop = 1;
        (void)!::write(wake[1], &stop, 1);
        thread.join();
        ::close(udp);
        ::close(wake[0]);
        ::close(wake[1]);
        udp = wake[0] = wake[1] = -1;
    }
};

Responder& TheResponder() {
    static Responder* r = new Responder;  // lives as long as the process
    return *r;
}

// ---- The session object -----------------------------------------------------------------------

struct Player {
    DPID id;
    std::string name;
    std::string data;
    int owner;  // -1 this machine; on the host, the connection; on a client, 0 for remote
};

struct Pending {
    DPID from = 0;
    DPID to = 0;
    DWORD system = 0;  // 0 game message, else the system message type
    DpPlayerRecord player;
    std::vector<uint8_t> bytes;
};

struct Conn {
    int fd = -1;
    std::vector<uint8_t> in;
    uint32_t lastHeard = 0;
    uint32_t lastSent = 0;
    bool joined = false;
    bool dead = false;
};

struct Found {
    sockaddr_in udp;  // the responder that answered
    DpSessionRecord session;
};

struct CreateRequest {
    std::string name;
    std::string data;
    DPID id = 0;
    bool answered = false;
};

class Session final : public IDirectPlay3A {
public:
    explicit Session(const GUID* provider) : modemObject_(provider && *provider == DPSPGUID_MODEM) {}
    ~Session() override { Close(); }

    HRESULT QueryInterface(REFIID interfaceId, void** object) override {
        if (!object) return DPERR_INVALIDPARAMS;
        *object = nullptr;
        if (!(interfaceId == IID_IDirectPlay3A)) return DPERR_NOINTERFACE;
        AddRef();
        *object = static_cast<IDirectPlay3A*>(this);
        return DP_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT EnumConnections(const GUID*, LPDPENUMCONNECTIONSCALLBACK callback, void* context, DWORD) override {
        return EnumProviders(callback, context);
    }

    HRESULT InitializeConnection(void* connection, DWORD) override {
        if (!connection) return DPERR_INVALIDPARAMS;
        // The provider element comes first in every address this layer makes.
        Reader r{static_cast<const uint8_t*>(connection), 36};
        const GUID type = r.Guid();
        const uint32_t length = r.U32();
        const GUID provider = r.Guid();
        if (!(type == DPAID_ServiceProvider) || length != 16) return DPERR_INVALIDPARAMS;
        std::string inet;
        RememberedINet(connection, &inet);
        std::lock_guard<std::mutex> guard(lock_);
        if (initialized_) return DPERR_ALREADYINITIALIZED;
        if (!(provider == DPSPGUID_TCPIP || provider == DPSPGUID_IPX || provider == DPSPGUID_MODEM ||
              provider == DPSPGUID_SERIAL))
            return DPERR_INVALIDPARAMS;
        if (!IsProviderUsable(provider)) return DPERR_UNAVAILABLE;
        initialized_ = true;
        inet_ = inet;
        return DP_OK;
    }

    HRESULT InitTcpIp(const std::string& inet) {
        std::lock_guard<std::mutex> guard(lock_);
        if (initialized_) return DPERR_ALREADYINITIALIZED;
        initialized_ = true;
        inet_ = inet;
        return DP_OK;
    }

    HRESULT Close() override {
        StopService();
        std::lock_guard<std::mutex> guard(lock_);
        if (role_ == Role::Host) TheResponder().Unregister(this);
        for (auto& [id, conn] : conns_)
            if (conn.fd >= 0) ::close(conn.fd);
        conns_.clear();
        if (listen_ >= 0) ::close(listen_);
        if (host_.fd >= 0) ::close(host_.fd);
        listen_ = -1;
        host_ = Conn{};
        players_.clear();
        queue_.clear();
        requests_.clear();
        role_ = Role::None;
        lost_ = false;
        joined_ = false;
        return DP_OK;
    }

    HRESULT Open(DPSESSIONDESC2* desc, DWORD flags) override {
        if (!desc) return DPERR_INVALIDPARAMS;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!initialized_) return DPERR_UNINITIALIZED;
            if (role_ != Role::None) return DPERR_ALREADYINITIALIZED;
        }
        if (flags & DPOPEN_JOIN) return Join(desc->guidInstance);
        if (!(flags & DPOPEN_CREATE)) return DPERR_INVALIDPARAMS;
        return Create(desc, flags);
    }

    HRESULT EnumSessions(DPSESSIONDESC2* desc, DWORD, LPDPENUMSESSIONSCALLBACK2 callback, void* context,
                         DWORD) override {
        if (!callback) return DPERR_INVALIDPARAMS;
        std::string inet;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!initialized_) return DPERR_UNINITIALIZED;
            inet = inet_;
        }
        const GUID application = desc ? desc->guidApplication : GUID{};
        std::vector<Found> found;
        sockaddr_in to{};
        if (ResolveINet(inet, &to)) {
            std::vector<uint8_t> query{kEnumQuery};
            AppendGuid(query, application);
            Ask(to, query, [&](const uint8_t* bytes, size_t size, const sockaddr_in& from) {
                DpSessionRecord s;
                if (!DpParseEnumReply(bytes, size, &s)) return;
                for (const Found& f : found)
                    if (f.session.instance == s.instance) return;
                found.push_back({from, s});
            });
        }
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (const Found& f : found) found_[GuidKey(f.session.instance)] = f;
        }
        DWORD timeout = 0;
        for (const Found& f : found) {
            DPSESSIONDESC2 d{};
            d.dwSize = sizeof d;
            d.dwFlags = f.session.flags;
            d.guidInstance = f.session.instance;
            d.guidApplication = f.session.application;
            d.dwMaxPlayers = f.session.maxPlayers;
            d.dwCurrentPlayers = f.session.currentPlayers;
            std::string name = f.session.name;
            d.lpszSessionNameA = name.data();
            if (!callback(&d, &timeout, 0, context)) return DP_OK;
        }
        callback(nullptr, &timeout, DPESC_TIMEDOUT, context);
        return DP_OK;
    }

    HRESULT EnumPlayers(const GUID* instance, LPDPENUMPLAYERSCALLBACK2 callback, void* context, DWORD flags) override {
        if (!callback) return DPERR_INVALIDPARAMS;
        std::vector<DpPlayerRecord> list;
        if (flags & DPENUMPLAYERS_SESSION) {
            if (!instance) return DPERR_INVALIDPARAMS;
            std::unique_lock<std::mutex> guard(lock_);
            if (role_ != Role::None && session_.instance == *instance) {
                for (const Player& p : players_) list.push_back({p.id, p.data, p.name});
            } else {
                auto it = found_.find(GuidKey(*instance));
                if (it == found_.end()) return DPERR_NOSESSIONS;
                const Found f = it->second;
                guard.unlock();
                std::vector<uint8_t> query{kPlayersQuery};
                AppendGuid(query, *instance);
                bool answered = false;
                Ask(f.udp, query, [&](const uint8_t* bytes, size_t size, const sockaddr_in&) {
                    GUID of;
                    std::vector<DpPlayerRecord> players;
                    if (answered || !DpParsePlayerList(bytes, size, &of, &players) || !(of == *instance)) return;
                    answered = true;
                    list = std::move(players);
                });
                if (!answered) return DPERR_NOSESSIONS;
                guard.lock();
                queried_ = list;
            }
        } else {
            std::lock_guard<std::mutex> guard(lock_);
            if (role_ == Role::None) return DPERR_INVALIDPARAMS;
            for (const Player& p : players_) {
                const bool local = p.owner == -1;
                if ((flags & DPENUMPLAYERS_LOCAL) && !local) continue;
                if ((flags & DPENUMPLAYERS_REMOTE) && local) continue;
                list.push_back({p.id, p.data, p.name});
            }
        }
        for (DpPlayerRecord& p : list) {
            DPNAME name = {sizeof(DPNAME), 0, p.name.data(), nullptr};
            if (!callback(p.id, DPPLAYERTYPE_PLAYER, &name, flags, context)) break;
        }
        return DP_OK;
    }

    HRESULT CreatePlayer(DPID* id, const DPNAME* name, void*, const void* data, DWORD dataSize, DWORD) override {
        if (!id || dataSize > kDpMaxPlayerData || (dataSize && !data)) return DPERR_INVALIDPARAMS;
        Player p{0, name && name->lpszShortNameA ? name->lpszShortNameA : "",
                 std::string(static_cast<const char*>(data), dataSize), -1};
        if (p.name.size() > 255) p.name.resize(255);
        std::unique_lock<std::mutex> guard(lock_);
        if (role_ == Role::Host) {
            if (session_.maxPlayers && players_.size() >= session_.maxPlayers) return DPERR_GENERIC;
            p.id = NextIdLocked();
            players_.push_back(p);
            for (auto& [cid, conn] : conns_)
                if (conn.joined) SendOrDrop(conn, DpWriteSystem(DPSYS_CREATEPLAYERORGROUP, {p.id, p.data, p.name}));
            PublishLocked();
            *id = p.id;
            return DP_OK;
        }
        if (role_ != Role::Client || lost_) return DPERR_GENERIC;
        const uint32_t request = ++nextRequest_;
        requests_[request] = CreateRequest{p.name, p.data};
        std::vector<uint8_t> body{kCreatePlayer};
        Append32(body, request);
        body.push_back(uint8_t(p.data.size()));
        body.insert(body.end(), p.data.begin(), p.data.end());
        body.push_back(uint8_t(p.name.size()));
        body.insert(body.end(), p.name.begin(), p.name.end());
        SendOrDrop(host_, body);
        changed_.wait_for(guard, std::chrono::milliseconds(kWaitMs),
                          [&] { return lost_ || requests_[request].answered; });
        const DPID made = requests_[request].id;
        requests_.erase(request);
        if (!made) return DPERR_GENERIC;
        *id = made;
        return DP_OK;
    }

    HRESULT DestroyPlayer(DPID id) override {
        std::lock_guard<std::mutex> guard(lock_);
        Player* p = FindLocked(id);
        if (!p || p->owner != -1) return DPERR_INVALIDPLAYER;
        RemoveLocked(id);
        if (role_ == Role::Host) {
            for (auto& [cid, conn] : conns_)
                if (conn.joined) SendOrDrop(conn, DpWriteSystem(DPSYS_DESTROYPLAYERORGROUP, {id, {}, {}}));
            PublishLocked();
        } else {
            std::vector<uint8_t> body{kDestroyPlayer};
            Append32(body, id);
            SendOrDrop(host_, body);
        }
        return DP_OK;
    }

    HRESULT GetPlayerData(DPID id, void* data, DWORD* size, DWORD) override {
        if (!size) return DPERR_INVALIDPARAMS;
        std::lock_guard<std::mutex> guard(lock_);
        std::string bytes;
        if (Player* p = FindLocked(id)) {
            bytes = p->data;
        } else {
            bool known = false;
            for (const DpPlayerRecord& q : queried_)
                if (q.id == id) {
                    bytes = q.data;
                    known = true;
                }
            if (!known) return DPERR_INVALIDPLAYER;
        }
        if (!data || *size < bytes.size()) {
            *size = DWORD(bytes.size());
            return DPERR_BUFFERTOOSMALL;
        }
        std::memcpy(data, bytes.data(), bytes.size());
        *size = DWORD(bytes.size());
        return DP_OK;
    }

    HRESULT GetPlayerAddress(DPID, void* address, DWORD* size) override {
        if (!size) return DPERR_INVALIDPARAMS;
        if (!modemObject_) return DPERR_UNAVAILABLE;
        // No modem is installed: the run of names holds only its closing empty name.
        const char none[1] = {0};
        const DPCOMPOUNDADDRESSELEMENT element = {DPAID_Modem, 1, none};
        return PackAddress(&element, 1, address, size);
    }

    HRESULT Send(DPID from, DPID to, DWORD, const void* data, DWORD size) override {
        if ((size && !data) || size > kDpMaxMessage) return DPERR_INVALIDPARAMS;
        std::lock_guard<std::mutex> guard(lock_);
        if (role_ == Role::None) return DPERR_INVALIDPARAMS;
        Player* sender = FindLocked(from);
        if (!sender || sender->owner != -1) return DPERR_INVALIDPLAYER;
        if (to != 0 && !FindLocked(to)) return DPERR_INVALIDPLAYER;
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        if (role_ == Role::Host) {
            RouteLocked(from, to, bytes, size, -1);
            return DP_OK;
        }
        if (lost_) return DPERR_GENERIC;
        DeliverLocalLocked(from, to, bytes, size);
        if (to == 0 || FindLocked(to)->owner != -1) SendOrDrop(host_, DpWriteMessage(from, to, bytes, size));
        return DP_OK;
    }

    HRESULT Receive(DPID* from, DPID* to, DWORD, void* data, DWORD* size) override {
        if (!size) return DPERR_INVALIDPARAMS;
        std::lock_guard<std::mutex> guard(lock_);
        if (queue_.empty()) {
            *size = 0;
            return DPERR_NOMESSAGES;
        }
        const Pending& m = queue_.front();
        size_t need = m.bytes.size();
        if (m.system == DPSYS_CREATEPLAYERORGROUP)
            need = sizeof(DPMSG_CREATEPLAYERORGROUP) + m.player.data.size() + m.player.name.size() + 1;
        else if (m.system == DPSYS_DESTROYPLAYERORGROUP)
            need = sizeof(DPMSG_DESTROYPLAYERORGROUP);
        else if (m.system == DPSYS_SESSIONLOST)
            need = sizeof(DPMSG_SESSIONLOST);
        if (!data || *size < need) {
            *size = DWORD(need);
            return DPERR_BUFFERTOOSMALL;
        }
        uint8_t* out = static_cast<uint8_t*>(data);
        if (m.system == DPSYS_CREATEPLAYERORGROUP) {
            DPMSG_CREATEPLAYERORGROUP msg{};
            msg.dwType = DPSYS_CREATEPLAYERORGROUP;
            msg.dwPlayerType = DPPLAYERTYPE_PLAYER;
            msg.dpId = m.player.id;
            msg.dwCurrentPlayers = DWORD(players_.size());
            uint8_t* tail = out + sizeof msg;
            msg.lpData = m.player.data.empty() ? nullptr : tail;
            msg.dwDataSize = DWORD(m.player.data.size());
            std::memcpy(tail, m.player.data.data(), m.player.data.size());
            char* name = reinterpret_cast<char*>(tail + m.player.data.size());
            std::memcpy(name, m.player.name.c_str(), m.player.name.size() + 1);
            msg.dpnName = {sizeof(DPNAME), 0, name, nullptr};
            std::memcpy(out, &msg, sizeof msg);
        } else if (m.system == DPSYS_DESTROYPLAYERORGROUP) {
            const DPMSG_DESTROYPLAYERORGROUP msg = {DPSYS_DESTROYPLAYERORGROUP, DPPLAYERTYPE_PLAYER, m.player.id};
            std::memcpy(out, &msg, sizeof msg);
        } else if (m.system == DPSYS_SESSIONLOST) {
            const DPMSG_SESSIONLOST msg = {DPSYS_SESSIONLOST};
            std::memcpy(out, &msg, sizeof msg);
        } else if (!m.bytes.empty()) {
            std::memcpy(out, m.bytes.data(), m.bytes.size());
        }
        if (from) *from = m.system ? DPID_SYSMSG : m.from;
        if (to) *to = m.to;
        *size = DWORD(need);
        queue_.pop_front();
        return DP_OK;
    }

private:
    enum class Role { None, Host, Client };

    // Sends one datagram to a responder and hands every reply to `take` until the window ends.
    template <typename Take>
    void Ask(const sockaddr_in& to, const std::vector<uint8_t>& body, Take take) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return;
        SendDatagram(fd, to, body);
        const uint32_t start = NowMs();
        const uint32_t window = g_EnumWindow.load();
        for (;;) {
            const uint32_t spent = NowMs() - start;
            if (spent >= window) break;
            pollfd p = {fd, POLLIN, 0};
            if (::poll(&p, 1, int(window - spent)) <= 0) continue;
            uint8_t buf[65536];
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            const ssize_t n = ::recvfrom(fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (n < 5) continue;
            Reader r{buf, size_t(n)};
            if (r.U32() != kMagic) continue;
            take(buf + 4, size_t(n) - 4, from);
        }
        ::close(fd);
    }

    HRESULT Create(DPSESSIONDESC2* desc, DWORD flags) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return DPERR_GENERIC;
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t size = sizeof at;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(fd, 64) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
            ::close(fd);
            return DPERR_GENERIC;
        }
        std::lock_guard<std::mutex> guard(lock_);
        session_ = DpSessionRecord{};
        session_.instance = NewInstanceGuid();
        session_.application = desc->guidApplication;
        session_.flags = desc->dwFlags;
        session_.maxPlayers = desc->dwMaxPlayers;
        session_.port = ntohs(at.sin_port);
        session_.name = desc->lpszSessionNameA ? desc->lpszSessionNameA : "";
        if (session_.name.size() > 1024) session_.name.resize(1024);
        if (!TheResponder().Register(this, HostEntry{session_, {}})) {
            ::close(fd);
            return DPERR_GENERIC;
        }
        listen_ = fd;
        role_ = Role::Host;
        StartServiceLocked();
        (void)flags;
        desc->guidInstance = session_.instance;
        return DP_OK;
    }

    HRESULT Join(const GUID& instance) {
        Found f;
        {
            std::lock_guard<std::mutex> guard(lock_);
            auto it = found_.find(GuidKey(instance));
            if (it == found_.end()) return DPERR_NOSESSIONS;
            f = it->second;
        }
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return DPERR_GENERIC;
        sockaddr_in to = f.udp;
        to.sin_port = htons(f.session.port);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            ::close(fd);
            return DPERR_GENERIC;
        }
        NoDelay(fd);
        std::unique_lock<std::mutex> guard(lock_);
        role_ = Role::Client;
        session_ = f.session;
        host_ = Conn{};
        host_.fd = fd;
        host_.lastHeard = host_.lastSent = NowMs();
        joined_ = false;
        lost_ = false;
        std::vector<uint8_t> body{kJoin};
        AppendGuid(body, instance);
        SendOrDrop(host_, body);
        StartServiceLocked();
        changed_.wait_for(guard, std::chrono::milliseconds(kWaitMs), [&] { return joined_ || lost_; });
        if (joined_ && !lost_) return DP_OK;
        guard.unlock();
        Close();
        return DPERR_GENERIC;
    }

    void StartServiceLocked() {
        if (service_.joinable()) return;
        if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
        stopping_ = false;
        service_ = std::thread([this] { Serve(); });
    }

    void StopService() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!service_.joinable()) return;
            stopping_ = true;
        }
        const char stop = 1;
        if (wake_[1] >= 0) (void)!::write(wake_[1], &stop, 1);
        service_.join();
        std::lock_guard<std::mutex> guard(lock_);
        for (int& fd : wake_) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }

    void Serve() {
        for (;;) {
            std::vector<pollfd> fds;
            std::vector<int> owners;  // -2 wake, -1 listener or host, else connection id
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (stopping_) return;
                fds.push_back({wake_[0], POLLIN, 0});
                owners.push_back(-2);
                if (role_ == Role::Host) {
                    fds.push_back({listen_, POLLIN, 0});
                    owners.push_back(-1);
                    for (auto& [cid, conn] : conns_) {
                        fds.push_back({conn.fd, POLLIN, 0});
                        owners.push_back(cid);
                    }
                } else if (host_.fd >= 0) {
                    fds.push_back({host_.fd, POLLIN, 0});
                    owners.push_back(-1);
                }
            }
            if (::poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR) return;
            std::lock_guard<std::mutex> guard(lock_);
            if (stopping_) return;
            for (size_t i = 0; i < fds.size(); ++i) {
                if (!fds[i].revents || owners[i] == -2) continue;
                if (role_ == Role::Host && owners[i] == -1) {
                    Accept();
                } else if (role_ == Role::Host) {
                    auto it = conns_.find(owners[i]);
                    if (it != conns_.end()) ReadConn(it->first, it->second);
                } else if (host_.fd >= 0) {
                    ReadConn(-1, host_);
                }
            }
            KeepAliveLocked();
            ReapLocked();
        }
    }

    void Accept() {
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        NoDelay(fd);
        Conn c;
        c.fd = fd;
        c.lastHeard = c.lastSent = NowMs();
        conns_[nextConn_++] = std::move(c);
    }

    void ReadConn(int cid, Conn& conn) {
        uint8_t buf[65536];
        const ssize_t n = ::recv(conn.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR && errno != EWOULDBLOCK)) {
            conn.dead = true;
            return;
        }
        if (n < 0) return;
        conn.lastHeard = NowMs();
        conn.in.insert(conn.in.end(), buf, buf + n);
        size_t at = 0;
        while (!conn.dead && conn.in.size() - at >= 4) {
            Reader r{conn.in.data() + at, 4};
            const uint32_t length = r.U32();
            if (length == 0 || length > kDpMaxFrame) {
                conn.dead = true;
                break;
            }
            if (conn.in.size() - at - 4 < length) break;
            const std::vector<uint8_t> frame(conn.in.begin() + long(at + 4), conn.in.begin() + long(at + 4 + length));
            at += 4 + length;
            if (!(role_ == Role::Host ? HostFrame(cid, conn, frame) : ClientFrame(frame))) conn.dead = true;
        }
        conn.in.erase(conn.in.begin(), conn.in.begin() + long(at));
    }

    // A frame from a client; false drops the connection.
    bool HostFrame(int cid, Conn& conn, const std::vector<uint8_t>& f) {
        Reader r{f.data(), f.size()};
        const uint8_t kind = r.U8();
        if (kind == kKeepAlive) return r.AtEnd();
        if (kind == kJoin) {
            const GUID instance = r.Guid();
            if (!r.AtEnd() || conn.joined) return false;
            if (!(instance == session_.instance)) {
                SendOrDrop(conn, DpWriteJoinReply(1, session_));
                return false;
            }
            conn.joined = true;
            SendOrDrop(conn, DpWriteJoinReply(0, session_));
            SendOrDrop(conn, DpWritePlayerList(session_.instance, RecordsLocked()));
            return true;
        }
        if (!conn.joined) return false;
        if (kind == kCreatePlayer) {
            const uint32_t request = r.U32();
            const uint8_t dataLength = r.U8();
            if (!r.ok || dataLength > kDpMaxPlayerData) return false;
            Player p{0, {}, r.Text(dataLength), cid};
            p.name = r.Text(r.U8());
            if (!r.AtEnd()) return false;
            std::vector<uint8_t> reply{kPlayerCreated};
            Append32(reply, request);
            if (session_.maxPlayers && players_.size() >= session_.maxPlayers) {
                Append32(reply, 0);
                SendOrDrop(conn, reply);
                return true;
            }
            p.id = NextIdLocked();
            players_.push_back(p);
            Append32(reply, p.id);
            SendOrDrop(conn, reply);
            Announce(DPSYS_CREATEPLAYERORGROUP, {p.id, p.data, p.name}, cid);
            return true;
        }
        if (kind == kDestroyPlayer) {
            const DPID id = r.U32();
            if (!r.AtEnd()) return false;
            Player* p = FindLocked(id);
            if (!p || p->owner != cid) return true;
            RemoveLocked(id);
            Announce(DPSYS_DESTROYPLAYERORGROUP, {id, {}, {}}, cid);
            return true;
        }
        if (kind == kMessage) {
            DPID from = 0, to = 0;
            size_t at = 0;
            if (!DpParseMessage(f.data(), f.size(), &from, &to, &at)) return false;
            Player* sender = FindLocked(from);
            if (!sender || sender->owner != cid) return true;  // not this machine's player: dropped
            RouteLocked(from, to, f.data() + at, f.size() - at, cid);
            return true;
        }
        return false;
    }

    // A frame from the host; false ends the session.
    bool ClientFrame(const std::vector<uint8_t>& f) {
        Reader r{f.data(), f.size()};
        const uint8_t kind = r.U8();
        if (kind == kKeepAlive) return r.AtEnd();
        if (kind == kJoinReply) {
            DWORD status = 0;
            DpSessionRecord s;
            if (!DpParseJoinReply(f.data(), f.size(), &status, &s) || status != 0) return false;
            const uint16_t port = session_.port;
            session_ = s;
            session_.port = port;
            return true;
        }
        if (kind == kPlayerList) {
            GUID instance;
            std::vector<DpPlayerRecord> list;
            if (!DpParsePlayerList(f.data(), f.size(), &instance, &list) || !(instance == session_.instance))
                return false;
            if (joined_) return false;
            players_.clear();
            for (DpPlayerRecord& p : list) players_.push_back({p.id, p.name, p.data, 0});
            joined_ = true;
            changed_.notify_all();
            return true;
        }
        if (!joined_) return false;
        if (kind == kPlayerCreated) {
            const uint32_t request = r.U32();
            const DPID id = r.U32();
            if (!r.AtEnd()) return false;
            auto it = requests_.find(request);
            if (it == requests_.end()) return true;
            if (id != 0 && id != 0xFFFFFFFFu && !FindLocked(id)) {
                players_.push_back({id, it->second.name, it->second.data, -1});
                it->second.id = id;
            }
            it->second.answered = true;
            changed_.notify_all();
            return true;
        }
        if (kind == kSystem) {
            DWORD type = 0;
            DpPlayerRecord p;
            if (!DpParseSystem(f.data(), f.size(), &type, &p)) return false;
            if (type == DPSYS_CREATEPLAYERORGROUP) {
                if (FindLocked(p.id)) return true;
                players_.push_back({p.id, p.name, p.data, 0});
            } else {
                Player* known = FindLocked(p.id);
                if (!known || known->owner == -1) return true;
                RemoveLocked(p.id);
            }
            Pending m;
            m.system = type;
            m.player = p;
            queue_.push_back(std::move(m));
            return true;
        }
        if (kind == kMessage) {
            DPID from = 0, to = 0;
            size_t at = 0;
            if (!DpParseMessage(f.data(), f.size(), &from, &to, &at)) return false;
            DeliverLocalLocked(from, to, f.data() + at, f.size() - at);
            return true;
        }
        return false;
    }

    // On the host: a player joined or left on connection `source`; tell this machine and the
    // other clients.
    void Announce(DWORD type, const DpPlayerRecord& p, int source) {
        for (auto& [cid, conn] : conns_)
            if (cid != source && conn.joined) SendOrDrop(conn, DpWriteSystem(type, p));
        Pending m;
        m.system = type;
        m.player = p;
        queue_.push_back(std::move(m));
        PublishLocked();
    }

    // On the host: delivers to this machine's players and forwards to the machines of the others.
    void RouteLocked(DPID from, DPID to, const uint8_t* bytes, size_t size, int source) {
        DeliverLocalLocked(from, to, bytes, size);
        if (to == 0) {
            const std::vector<uint8_t> body = DpWriteMessage(from, 0, bytes, size);
            for (auto& [cid, conn] : conns_)
                if (cid != source && conn.joined) SendOrDrop(conn, body);
            return;
        }
        Player* target = FindLocked(to);
        if (!target || target->owner < 0 || target->owner == source) return;
        auto it = conns_.find(target->owner);
        if (it != conns_.end()) SendOrDrop(it->second, DpWriteMessage(from, to, bytes, size));
    }

    // Queues a message for this machine's players: a broadcast once per local player but the
    // sender, addressed to each.
    void DeliverLocalLocked(DPID from, DPID to, const uint8_t* bytes, size_t size) {
        for (const Player& p : players_) {
            if (p.owner != -1 || p.id == from || (to != 0 && p.id != to)) continue;
            Pending m;
            m.from = from;
            m.to = p.id;
            m.bytes.assign(bytes, bytes + size);
            queue_.push_back(std::move(m));
        }
    }

    void SendOrDrop(Conn& conn, const std::vector<uint8_t>& body) {
        if (conn.dead || conn.fd < 0) return;
        if (!SendFrame(conn.fd, body))
            conn.dead = true;
        else
            conn.lastSent = NowMs();
    }

    void KeepAliveLocked() {
        if (!(session_.flags & DPSESSION_KEEPALIVE)) return;
        const uint32_t now = NowMs();
        auto step = [&](Conn& c) {
            if (c.fd < 0 || c.dead) return;
            if (now - c.lastHeard > kSilentDeadMs) c.dead = true;
            else if (now - c.lastSent >= kKeepAliveEveryMs) SendOrDrop(c, {kKeepAlive});
        };
        if (role_ == Role::Host)
            for (auto& [cid, conn] : conns_) step(conn);
        else
            step(host_);
    }

    // Closes dead connections: a lost client takes its players with it; a lost host ends the
    // session.
    void ReapLocked() {
        if (role_ == Role::Client) {
            if (host_.dead && host_.fd >= 0) {
                ::close(host_.fd);
                host_.fd = -1;
                if (!lost_ && joined_) {
                    Pending m;
                    m.system = DPSYS_SESSIONLOST;
                    queue_.push_back(std::move(m));
                }
                lost_ = true;
                changed_.notify_all();
            }
            return;
        }
        // Dropping may mark other connections dead (a failed relay); repeat until none is left.
        for (bool again = true; again;) {
            again = false;
            for (auto it = conns_.begin(); it != conns_.end(); ++it) {
                if (!it->second.dead) continue;
                const int cid = it->first;
                ::close(it->second.fd);
                conns_.erase(it);
                std::vector<DPID> gone;
                for (const Player& p : players_)
                    if (p.owner == cid) gone.push_back(p.id);
                for (DPID id : gone) {
                    RemoveLocked(id);
                    Announce(DPSYS_DESTROYPLAYERORGROUP, {id, {}, {}}, cid);
                }
                PublishLocked();
                again = true;
                break;
            }
        }
    }

    std::vector<DpPlayerRecord> RecordsLocked() const {
        std::vector<DpPlayerRecord> out;
        for (const Player& p : players_) out.push_back({p.id, p.data, p.name});
        return out;
    }

    void PublishLocked() {
        if (role_ != Role::Host) return;
        session_.currentPlayers = DWORD(players_.size());
        TheResponder().Update(this, HostEntry{session_, RecordsLocked()});
    }

    DPID NextIdLocked() {
        for (;;) {
            const DPID id = nextId_++;
            if (id != 0 && id != 0xFFFFFFFFu && !FindLocked(id)) return id;
        }
    }

    Player* FindLocked(DPID id) {
        for (Player& p : players_)
            if (p.id == id) return &p;
        return nullptr;
    }

    void RemoveLocked(DPID id) {
        for (auto it = players_.begin(); it != players_.end(); ++it)
            if (it->id == id) {
                players_.erase(it);
                return;
            }
    }

    std::atomic<ULONG> references_{1};
    const bool modemObject_;
    std::mutex lock_;
    std::condition_variable changed_;
    bool initialized_ = false;
    std::string inet_;
    Role role_ = Role::None;
    DpSessionRecord session_{};
    std::vector<Player> players_;
    std::deque<Pending> queue_;
    std::map<std::string, Found> found_;
    std::vector<DpPlayerRecord> queried_;
    DPID nextId_ = 0x101;
    int listen_ = -1;
    std::map<int, Conn> conns_;
    int nextConn_ = 1;
    Conn host_;
    bool joined_ = false;
    bool lost_ = false;
    uint32_t nextRequest_ = 0;
    std::map<uint32_t, CreateRequest> requests_;
    std::thread service_;
    int wake_[2] = {-1, -1};
    bool stopping_ = false;
};

}  // namespace

IDirectPlay3A* NewDirectPlay(const GUID* provider) {
    return new Session(provider);
}

HRESULT InitTcpIp(IDirectPlay3A* directPlay, const std::string& inet) {
    return static_cast<Session*>(directPlay)->InitTcpIp(inet);
}

}  // namespace plat::dp
