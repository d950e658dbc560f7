// Speech GULPs, the close of every GULP and the tagged write. A speech GULP hands each received
// message to the play queue (KrSpeechHandler); when its opener gives a speech callback, a
// dispatcher thread per GULP calls it after messages have been queued, so the callback never runs
// on the io thread. Wakes that come before the thread runs give one call, naming the latest sender.
//
// The dispatchers are in one list under its own lock, and each is reference counted: the list,
// its thread and whoever works with it (the opener during the open, the io thread's relay) hold a
// reference, and the last one frees it. A close (local, or remote on the io thread) only unlinks
// it and tells its thread to stop; the thread may still be in the callback once more.
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <mutex>
#include <new>
#include <thread>

#include "krgulp.h"
#include "krlog.h"
#include "lobbex_exports.h"

namespace {

struct KRSPEECH_DISPATCH {
    std::atomic<HGULP> gulp{-1};
    std::mutex wakeLock; // the auto-reset wake event
    std::condition_variable wake;
    bool signalled = false;
    bool stop = false;
    uintptr_t context = 0;
    KRGULP_MSG_CBF callback = nullptr;
    std::atomic<KRADDR> lastSender{0};
    KRSPEECH_DISPATCH* next = nullptr;
    std::atomic<int> refs{0};
};

std::mutex g_ListLock;
KRSPEECH_DISPATCH* g_List = nullptr;
std::atomic<int> g_Alive{0}; // dispatchers made and not yet freed

void Unref(KRSPEECH_DISPATCH* d) {
    if (d->refs.fetch_sub(1) == 1) {
        delete d;
        --g_Alive;
    }
}

void Signal(KRSPEECH_DISPATCH* d, bool stop) {
    std::lock_guard<std::mutex> hold(d->wakeLock);
    d->signalled = true;
    if (stop) d->stop = true;
    d->wake.notify_one();
}

// List lock held: takes `d` out of the list; false when it was not there.
bool UnlinkNL(KRSPEECH_DISPATCH* d) {
    for (KRSPEECH_DISPATCH** at = &g_List; *at; at = &(*at)->next)
        if (*at == d) {
            *at = d->next;
            d->next = nullptr;
            return true;
        }
    return false;
}

// Takes the dispatcher out of the list (if it is still there) and stops its thread.
void Retire(KRSPEECH_DISPATCH* d) {
    bool listed;
    {
        std::lock_guard<std::mutex> hold(g_ListLock);
        listed = UnlinkNL(d);
    }
    if (!listed) return; // someone else retired it
    Signal(d, true);
    Unref(d); // the list's reference
}

void Run(KRSPEECH_DISPATCH* d) {
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(d->wakeLock);
            d->wake.wait(hold, [d] { return d->signalled; });
            d->signalled = false;
            if (d->stop) break;
        }
        d->callback(d->gulp.load(), d->context, d->lastSender.load(), nullptr, 0);
    }
    Unref(d); // the thread's reference
}

// The listed dispatcher with this address, with a reference taken; null when it is not listed.
KRSPEECH_DISPATCH* Find(uintptr_t address) {
    std::lock_guard<std::mutex> hold(g_ListLock);
    for (KRSPEECH_DISPATCH* d = g_List; d; d = d->next)
        if (reinterpret_cast<uintptr_t>(d) == address) {
            d->refs.fetch_add(1);
            return d;
        }
    return nullptr;
}
}  // namespace

int KrSpeechDispatcherCount(void) {
    return g_Alive.load();
}

void KrSpeechRelay(HGULP gulp, uintptr_t context, KRADDR sender, const void* data, uint32_t length) {
    KrSpeechHandler(gulp, 0, sender, data, length);
    if (KRSPEECH_DISPATCH* d = Find(context)) {
        d->lastSender.store(sender);
        Signal(d, false);
        Unref(d);
    }
}

void KrSpeechGULPDetached(uintptr_t dispatcher) {
    if (KRSPEECH_DISPATCH* d = Find(dispatcher)) {
        Retire(d);
        Unref(d);
    }
}

LOBBEX_API HGULP KrOpenSpeechGULP(int16_t game, int16_t style, uintptr_t key, uintptr_t context,
                                  KRGULP_OPEN_CBF openCallback, KRGULP_MSG_CBF speechCallback) {
    KrLogAPICall("KrOpenSpeechGULP");
    if (!speechCallback || speechCallback == KrSpeechHandler)
        return KrOpenGULP(game, style, key, context, openCallback, KrSpeechHandler);
    auto* d = new (std::nothrow) KRSPEECH_DISPATCH;
    if (!d) return (HGULP)KrLogReturnVal("KrOpenSpeechGULP", -1);
    ++g_Alive;
    d->context = context;
    d->callback = speechCallback;
    d->refs.store(3); // the list, the thread and this open
    try {
        std::thread(Run, d).detach();
    } catch (...) {
        KrError("KrOpenSpeechGULP::could not start the speech dispatcher thread");
        delete d;
        --g_Alive;
        return (HGULP)KrLogReturnVal("KrOpenSpeechGULP", -1);
    }
    {
        std::lock_guard<std::mutex> hold(g_ListLock);
        d->next = g_List;
        g_List = d;
    }
    const HGULP h = KrOpenGULP(game, style, key, reinterpret_cast<uintptr_t>(d), openCallback, KrSpeechRelay);
    if (h >= 0)
        d->gulp.store(h);
    else
        Retire(d);
    Unref(d);
    return h;
}

LOBBEX_API int16_t KrCloseSpeechGULP(HGULP gulp) {
    KrLogAPICall("KrCloseSpeechGULP");
    KRSPEECH_DISPATCH* found = nullptr;
    {
        std::lock_guard<std::mutex> hold(g_ListLock);
        for (KRSPEECH_DISPATCH* d = g_List; d; d = d->next)
            if (d->gulp.load() == gulp && gulp >= 0) {
                found = d;
                UnlinkNL(d);
                break;
            }
    }
    KrCloseGULPSlot(gulp);
    if (found) {
        Signal(found, true);
        Unref(found); // the list's reference
    }
    return 0;
}

LOBBEX_API int16_t KrCloseGULP(HGULP gulp) {
    KrLogAPICall("KrCloseGULP");
    return KrCloseSpeechGULP(gulp);
}

LOBBEX_API int KrWriteGULPExtended(HGULP gulp, const void* data, uint32_t length, const uint32_t* list, ...) {
    KrLogAPICall("KrWriteGULPExtended");
    uint32_t style = 0;
    va_list tags;
    va_start(tags, list);
    for (bool more = true; more;) {
        const uint32_t tag = va_arg(tags, uint32_t);
        switch (tag) {
        case 0: more = false; break;
        case 1: style = va_arg(tags, uint32_t); break;
        case 2: (void)va_arg(tags, uint32_t); break;
        default:
            KrWarn("KrWriteGULPExtended: received an tagged parameter that was not recognized.");
            more = false;
        }
    }
    va_end(tags);
    if (style < 1 || style > 3) return (int)KrLogReturnVal("KrWriteGULPExtended", -1);
    return KrWriteGULP(gulp, data, length, list);
}
