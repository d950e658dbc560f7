// The transport's traffic meter: bytes sent and received this frame, last frame, the peaks of one
// frame and of one second, the last completed second and the running sum of the current one. The
// pump closes a second when more than 1000 ms have passed since it began.
#include <algorithm>
#include <cstring>

#include "net/net_state.h"

namespace {
void NET_EndFrame(NetTrafficCounters& c) {
    c.lastFrame = c.thisFrame;
    c.peakFrame = std::max(c.peakFrame, c.thisFrame);
    c.runningSum += c.thisFrame;
}

void NET_EndSecond(NetTrafficCounters& c) {
    c.peakSecond = std::max(c.peakSecond, c.runningSum);
    c.lastSecond = c.runningSum;
    c.runningSum = 0;
}
}  // namespace

void NET_ClearTraffic() {
    std::memset(&g_Net.traffic, 0, sizeof g_Net.traffic);
}

void NET_ResetTrafficCounters() {
    std::memset(&g_Net.traffic.sent, 0, sizeof g_Net.traffic.sent);
    std::memset(&g_Net.traffic.received, 0, sizeof g_Net.traffic.received);
}

void NET_MeterPump() {
    NetTraffic& t = g_Net.traffic;
    t.now = NET_Ticks();
    // The first second begins with the first pump that sees a nonzero tick count.
    if (t.secondStart == 0 && t.now != 0) t.secondStart = t.now;
    NET_EndFrame(t.sent);
    NET_EndFrame(t.received);
    if (t.now - t.secondStart > 1000) {
        NET_EndSecond(t.sent);
        NET_EndSecond(t.received);
        t.secondStart = t.now;
    }
    t.sent.thisFrame = 0;
    t.received.thisFrame = 0;
}

void NET_CountSent(int length) {
    g_Net.traffic.sent.thisFrame += length;
}

void NET_CountReceived(int length) {
    g_Net.traffic.received.thisFrame += length;
}
