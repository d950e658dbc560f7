// Timers and the timeout thread (see krtmo.h). Each timer is in a hash of 31 chains keyed by its
// (callback, argument) pair, which keeps the pairs unique, and in an AVL tree ordered by expiry
// and then by record address, which gives the earliest. The thread sleeps on a wake event until
// the earliest expiry or until a new earliest timer arrives, takes due timers one at a time and
// runs each callback with the module lock released.
#include "krtmo.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>

#include "kravl.h"
#include "krerrno.h"
#include "krevent.h"
#include "krlog.h"
#include "krthread.h"
#include "krtime.h"
#include "krtrace.h"

struct KRTMO_REC {
    KRTMO_REC* next; // hash chain, circular
    KRTMO_REC* prev;
    int state;       // 1 armed, 3 fired and about to be freed
    int newEarliest; // set during insertion while the search has not gone right
    int periodic;
    KRTMO_CBF callback;
    uintptr_t argument;
    uint32_t interval; // milliseconds
    KRTIME expiry;
};

namespace {

constexpr char kKrModule[] = "krtmo";
constexpr int kChains = 31;
constexpr uint32_t kStackSize = 0x20000;
constexpr uint32_t kDailyMs = 86400000;
enum : int { kArmed = 1, kFired = 3 };
enum : int { kQuiescent = 0, kRunning = 1, kStopRequested = 2, kStopped = 3 };

struct Chain {
    KRTMO_REC* head;
    uint32_t count;
};

struct TmoModule {
    KRLOCK lock;
    KrEvent wake;
    KrEvent stopped;
    KrEvent started;
    HANDLE thread = nullptr;
    int state = kQuiescent; // under lock (and read by cleanup's checks)
    bool wakeAsked = false;  // KrTmoWakeup while the thread was not waiting: look again at once
    // While the thread waits with a limit: the expiry it will wake for by itself. A timer that
    // expires no earlier needs no wake-up (a new request's retransmission timer, most often).
    bool waitLimited = false;
    KRTIME waitUntil = {0, 0, 0};
    Chain chains[kChains] = {};
    KRAVL_NODE* tree = nullptr;
};
TmoModule g_Tmo;
std::mutex g_TmoInitLock;
int g_TmoInitCount = 0;
std::atomic<bool> g_TmoAccepting{false}; // the lock exists and the thread runs
std::atomic<KRTMO_PASS_HOOK> g_TmoPassHook{nullptr};

Chain& ChainOf(KRTMO_CBF callback, uintptr_t argument) {
    return g_Tmo.chains[((uintptr_t)callback + argument) % kChains];
}

KRTMO_REC* HashFind(KRTMO_CBF callback, uintptr_t argument) {
    Chain& c = ChainOf(callback, argument);
    KRTMO_REC* r = c.head;
    for (uint32_t i = 0; i < c.count; ++i, r = r->next) {
        if (r->callback == callback && r->argument == argument) return r;
    }
    return nullptr;
}

void HashAdd(KRTMO_REC* rec) {
    Chain& c = ChainOf(rec->callback, rec->argument);
    if (!c.head) {
        rec->next = rec->prev = rec;
        c.head = rec;
    } else {
        rec->next = c.head;
        rec->prev = c.head->prev;
        c.head->prev->next = rec;
        c.head->prev = rec;
    }
    c.count++;
}

void HashRemove(KRTMO_REC* rec) {
    Chain& c = ChainOf(rec->callback, rec->argument);
    KR_INVARIANT(c.count > 0);
    if (c.count == 1) {
        KR_INVARIANT(c.head == rec);
        c.head = nullptr;
    } else {
        rec->prev->next = rec->next;
        rec->next->prev = rec->prev;
        if (c.head == rec) c.head = rec->next;
    }
    c.count--;
    rec->next = rec->prev = nullptr;
}

int CompareRecords(const KRTMO_REC* a, const KRTMO_REC* b) {
    if (KrTimeLess(&a->expiry, &b->expiry)) return -1;
    if (KrTimeGreater(&a->expiry, &b->expiry)) return 1;
    if (a == b) return 0;
    return std::less<const KRTMO_REC*>()(a, b) ? -1 : 1;
}

// Insertion order: (new record, node's record). Going right means the new one is not earliest.
int InsertCompare(const void* a, const void* b) {
    KR_INVARIANT(a && b);
    auto* rec = static_cast<KRTMO_REC*>(const_cast<void*>(a));
    int c = CompareRecords(rec, static_cast<const KRTMO_REC*>(b));
    if (c > 0) rec->newEarliest = 0;
    return c;
}

// Deletion order: (node's record, key record).
int DeleteCompare(const void* node, const void* key) {
    KR_INVARIANT(node && key);
    return CompareRecords(static_cast<const KRTMO_REC*>(node), static_cast<const KRTMO_REC*>(key));
}

void AddMs(KRTIME* t, uint32_t ms) {
    uint64_t total = (uint64_t)t->msec + ms;
    t->sec += (uint32_t)(total / 1000);
    t->msec = (uint32_t)(total % 1000);
    KrTimeNormalize(t);
}

// Puts an armed record into the tree; wakes the thread when it is the new earliest and the
// thread does not already wake by itself at or before its expiry. Under lock.
bool TreeInsert(KRTMO_REC* rec) {
    rec->newEarliest = 1;
    if (!KrAvlInsert(&g_Tmo.tree, InsertCompare, rec, nullptr)) return false;
    if (rec->newEarliest && !(g_Tmo.waitLimited && !KrTimeLess(&rec->expiry, &g_Tmo.waitUntil)))
        KrEventSignal(&g_Tmo.wake);
    return true;
}

// One step of a pass: descend from the root, going left past timers that expire later than
// now, and take the first one met that does not. Under lock.
KRTMO_REC* TakeDue(const KRTIME* now) {
    for (KRAVL_NODE* node = g_Tmo.tree; node; node = node->left) {
        auto* rec = static_cast<KRTMO_REC*>(node->data);
        if (!KrTimeGreater(&rec->expiry, now)) {
            int removed = KrAvlDelete(&g_Tmo.tree, DeleteCompare, rec, nullptr);
            KR_INVARIANT(removed);
            return rec;
        }
    }
    return nullptr;
}

const KRTMO_REC* Earliest() {
    KRAVL_NODE* node = g_Tmo.tree;
    if (!node) return nullptr;
    while (node->left) node = node->left;
    return static_cast<const KRTMO_REC*>(node->data);
}

void FreeEverything() {
    KrAvlFreeAll(&g_Tmo.tree, nullptr);
    for (Chain& c : g_Tmo.chains) {
        while (c.count > 0) {
            KRTMO_REC* rec = c.head;
            HashRemove(rec);
            KrTmoHndlFree(rec);
        }
    }
}

DWORD KrTmoThread(void*) {
    KrLockEnter(&g_Tmo.lock);
    if (g_Tmo.state != kQuiescent)
        KR_LOG(KrCrit, "KrTmoThread: Timeout Module is not in quiescent state 0x%x", (unsigned)g_Tmo.state);
    g_Tmo.state = kRunning;
    KrEventSignal(&g_Tmo.started);
    bool limited = false; // the first wait has no time limit
    KRTIME waitTime = {0, 0, 0};
    while (g_Tmo.state != kStopRequested) {
        if (!g_Tmo.wakeAsked) {
            g_Tmo.waitLimited = limited;
            KrEventWait(&g_Tmo.wake, &g_Tmo.lock, limited ? &waitTime : nullptr);
            g_Tmo.waitLimited = false;
        }
        g_Tmo.wakeAsked = false;
        if (g_Tmo.state == kStopRequested) break;
        KRTIME now;
        KrGetTime(&now);
        while (KRTMO_REC* rec = TakeDue(&now)) {
            const KRTMO_CBF callback = rec->callback;
            const uintptr_t argument = rec->argument;
            if (rec->periodic) {
                // From its previous expiry, not from now: a late timer catches up.
                AddMs(&rec->expiry, rec->interval);
                TreeInsert(rec);
            } else {
                rec->state = kFired;
                HashRemove(rec);
                KrTmoHndlFree(rec);
            }
            KrLockLeave(&g_Tmo.lock);
            callback(argument);
            KrLockEnter(&g_Tmo.lock);
            if (g_Tmo.state == kStopRequested) break;
        }
        if (KRTMO_PASS_HOOK hook = g_TmoPassHook.load()) {
            KrLockLeave(&g_Tmo.lock);
            hook(&now);
            KrLockEnter(&g_Tmo.lock);
        }
        // The wait runs from the time after the pass (callbacks take time, and a clock that
        // moved meanwhile is seen); an expiry already past waits not at all.
        const KRTMO_REC* first = Earliest();
        limited = first != nullptr;
        if (first) {
            g_Tmo.waitUntil = first->expiry;
            KRTIME after;
            KrGetTime(&after);
            if (KrTimeLessEqual(&first->expiry, &after))
                waitTime = {0, 0, 0};
            else
                KrTimeSubtract(&first->expiry, &after, &waitTime);
        }
    }
    FreeEverything();
    g_Tmo.state = kStopped;
    KrEventSignal(&g_Tmo.stopped);
    KrLockLeave(&g_Tmo.lock);
    return 0;
}

void DailyTimeReset(uintptr_t) {
    KrModuleStartTimeReset();
}

}  // namespace

int KrTimeout(KRTMO_CBF callback, uintptr_t argument, uint32_t milliseconds, int periodic) {
    if (!callback || (periodic && milliseconds < KR_TMO_MIN_PERIOD_MS)) {
        KR_LOG(KrErr, "KrTimeout: Invalid parameters %x %x %u %u", (unsigned)(uintptr_t)callback, (unsigned)argument,
               milliseconds, (unsigned)periodic);
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    if (!g_TmoAccepting.load()) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    auto* rec = static_cast<KRTMO_REC*>(std::calloc(1, sizeof(KRTMO_REC)));
    if (!rec) {
        KR_LOG(KrAlert, "KrTimeout: Unable to allocate timeout handle.");
        return 1;
    }
    rec->callback = callback;
    rec->argument = argument;
    rec->interval = milliseconds;
    rec->periodic = periodic ? 1 : 0;
    KrGetTime(&rec->expiry);
    AddMs(&rec->expiry, milliseconds);
    rec->state = kArmed;

    KrLockEnter(&g_Tmo.lock);
    if (HashFind(callback, argument)) {
        KrLockLeave(&g_Tmo.lock);
        KrErrorSet(KRERR_TIMER_EXISTS);
        KR_ERROR(KrErr, "KrTimeout: Already have a timer for 0x%x 0x%x", (unsigned)(uintptr_t)callback,
                 (unsigned)argument);
        KrTmoHndlFree(rec);
        return 1;
    }
    HashAdd(rec);
    if (!TreeInsert(rec)) {
        HashRemove(rec);
        KrLockLeave(&g_Tmo.lock);
        KR_LOG(KrAlert, "KrTimeout: Unable to allocate timeout handle.");
        KrTmoHndlFree(rec);
        return 1;
    }
    KrLockLeave(&g_Tmo.lock);
    return 0;
}

int KrUntimeout(KRTMO_CBF callback, uintptr_t argument) {
    if (!callback) {
        KR_LOG(KrErr, "KrUntimeout: Invalid parameters %x %x", (unsigned)(uintptr_t)callback, (unsigned)argument);
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    if (!g_TmoAccepting.load()) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    KrLockEnter(&g_Tmo.lock);
    KRTMO_REC* rec = HashFind(callback, argument);
    if (!rec) {
        KrLockLeave(&g_Tmo.lock);
        KrErrorSet(KRERR_NO_ENTRY);
        KR_ERROR(KrErr, "KrUntimeout: 0x%x, 0x%x: No such timer event.", (unsigned)(uintptr_t)callback,
                 (unsigned)argument);
        return 1;
    }
    KR_INVARIANT(rec->state == kArmed);
    HashRemove(rec);
    int removed = KrAvlDelete(&g_Tmo.tree, DeleteCompare, rec, nullptr);
    KR_INVARIANT(removed);
    KrLockLeave(&g_Tmo.lock);
    KrTmoHndlFree(rec);
    return 0;
}

void KrTmoHndlFree(KRTMO_HNDL timer) {
    if (!timer) {
        KR_LOG(KrCrit, "KrTmoHndlFree: Attempt to free null Kr Timeout Handle.");
        return;
    }
    std::free(timer);
}

void KrTmoModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_TmoInitLock);
    if (g_TmoInitCount++ > 0) return;
    KR_TRACE_EVENT("tmo_mini", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    if (g_Tmo.state != kQuiescent)
        KR_LOG(KrCrit, "KrTmoModuleInit: Timeout Module is not in quiescent state 0x%x", (unsigned)g_Tmo.state);
    KrLockInit(&g_Tmo.lock, 0);
    KrEventCreate(&g_Tmo.wake, nullptr);
    KrEventCreate(&g_Tmo.stopped, nullptr);
    KrEventCreate(&g_Tmo.started, nullptr);
    KrModuleStartTimeReset();

    KrLockEnter(&g_Tmo.lock);
    g_Tmo.thread = KrThreadCreate(KrTmoThread, nullptr, 1, kStackSize);
    bool running = false;
    if (!g_Tmo.thread) {
        KR_LOG(KrAlert, "KrTmoModuleInit: Unable to create timeout thread.");
    } else {
        const KRTIME twoSeconds = {2, 0, 0};
        if (g_Tmo.state != kRunning) KrEventWait(&g_Tmo.started, &g_Tmo.lock, &twoSeconds);
        running = g_Tmo.state == kRunning;
        if (!running) KR_LOG(KrCrit, "KrTmoModuleInit: timeout thread failed to initialize.");
    }
    KrLockLeave(&g_Tmo.lock);
    KrEventDestroy(&g_Tmo.started);
    if (!running) {
        KrEventDestroy(&g_Tmo.wake);
        KrEventDestroy(&g_Tmo.stopped);
        KrLockDestroy(&g_Tmo.lock);
        g_TmoInitCount = 0;
        kr_exit(kKrModule, __LINE__, KrAlert, "Failed to initialize TMO thread, aborting.");
        return;
    }
    SetThreadPriority(g_Tmo.thread, THREAD_PRIORITY_ABOVE_NORMAL);
    g_TmoAccepting = true;
    // Renews the clock base daily, and with it the tick arithmetic of KrGetTime.
    KrTimeout(DailyTimeReset, 0, kDailyMs, 1);
}

void KrTmoCleanup(void) {
    std::lock_guard<std::mutex> hold(g_TmoInitLock);
    if (g_TmoInitCount == 0 || --g_TmoInitCount > 0) return;
    KR_TRACE_EVENT("tmo_mcle", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    g_TmoAccepting = false;
    KrLockEnter(&g_Tmo.lock);
    g_Tmo.state = kStopRequested;
    KrEventSignal(&g_Tmo.wake);
    if (g_Tmo.state != kStopped) {
        const KRTIME twoSeconds = {2, 0, 0};
        KrEventWait(&g_Tmo.stopped, &g_Tmo.lock, &twoSeconds);
    }
    if (g_Tmo.state != kStopRequested && g_Tmo.state != kStopped)
        KR_LOG(KrErr, "KrTmoCleanup: Timeout thread is in unexpected state %d\n", g_Tmo.state);
    KrLockLeave(&g_Tmo.lock);
    // The lock and the events go only once the thread is gone: wait for it to end, whatever
    // a slow callback costs beyond the two seconds above.
    WaitForSingleObject(g_Tmo.thread, INFINITE);
    CloseHandle(g_Tmo.thread);
    g_Tmo.thread = nullptr;
    KrEventDestroy(&g_Tmo.wake);
    KrEventDestroy(&g_Tmo.stopped);
    KrLockDestroy(&g_Tmo.lock);
    g_Tmo.state = kQuiescent;
    g_Tmo.wakeAsked = false;
    g_Tmo.waitLimited = false;
}

void KrTmoWakeup(void) {
    if (!g_TmoAccepting.load()) return;
    KrLockEnter(&g_Tmo.lock);
    g_Tmo.wakeAsked = true; // seen even when the signal finds nobody waiting
    KrEventSignal(&g_Tmo.wake);
    KrLockLeave(&g_Tmo.lock);
}

void KrTmoSetPassHook(KRTMO_PASS_HOOK hook) {
    g_TmoPassHook.store(hook);
}
