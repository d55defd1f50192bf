/*
 * vx_jackguard.cpp - surviving the death of a JACK server under PortAudio's JACK host.
 *
 * When the server goes away (killed, or stopped), JACK tells each client through its
 * shutdown handler, and PortAudio's JACK host marks its streams inactive. But stopping such a
 * stream then waits for the stream's process callback to acknowledge the stop, which no
 * server will ever run again (PortAudio gives up after ten minutes), and closing it asserts on
 * the port calls that the dead server refuses. So the engine stands between PortAudio and
 * JACK for a few calls:
 *  - jack_on_shutdown: PortAudio's handler is kept, and a handler of the engine's own runs
 *    before it, which marks the client's server dead and counts the death;
 *  - jack_port_unregister, jack_port_disconnect, jack_disconnect, jack_deactivate and
 *    jack_client_close: for a client whose server died, a refusal is answered as done (the
 *    call itself still runs, so what the library frees is freed);
 *  - a stop of a stream whose server died runs while PortAudio's handler is given the news
 *    again every few milliseconds, which ends the stop's wait at once.
 * For a live server every call is JACK's own, unchanged. The calls are found with dlsym among
 * the libraries loaded after this one, so a PortAudio without JACK needs nothing of them.
 */
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "vx_host.h"

#if defined(__linux__)
#include <dlfcn.h>
#include <pthread.h>

namespace {

using ShutdownHandler = void (*)(void *);

/* One JACK client that PortAudio opened, with the shutdown handler it gave. */
struct JackClient {
    void *client;
    ShutdownHandler handler;
    void *argument;
    std::atomic<bool> dead;
};

constexpr int kMaxClients = 16;
JackClient gClients[kMaxClients];
std::mutex gClientsLock; /* client threads only: PortAudio opens and closes its clients there */
std::atomic<uint32_t> gDeaths{0};

template <typename Function>
Function Next(const char *name) {
    void *symbol = dlsym(RTLD_NEXT, name);
    Function function;
    static_assert(sizeof function == sizeof symbol);
    __builtin_memcpy(&function, &symbol, sizeof function);
    return function;
}

/* Runs on JACK's thread when the server goes away. */
void EngineShutdownHandler(void *record) {
    JackClient *entry = static_cast<JackClient *>(record);
    entry->dead.store(true, std::memory_order_release);
    gDeaths.fetch_add(1, std::memory_order_acq_rel);
    entry->handler(entry->argument);
}

bool ServerDied(void *client) {
    std::lock_guard<std::mutex> guard(gClientsLock);
    for (JackClient &entry : gClients)
        if (entry.client == client && client != nullptr)
            return entry.dead.load(std::memory_order_acquire);
    return false;
}

/* A refusal of a client whose server died is answered as done. */
int Settled(void *client, int result) { return result != 0 && ServerDied(client) ? 0 : result; }

} // namespace

extern "C" {

VEXA_API void jack_on_shutdown(void *client, ShutdownHandler handler, void *argument) {
    auto real = Next<void (*)(void *, ShutdownHandler, void *)>("jack_on_shutdown");
    if (real == nullptr) return;
    JackClient *slot = nullptr;
    {
        std::lock_guard<std::mutex> guard(gClientsLock);
        for (JackClient &entry : gClients)
            if (entry.client == client || (slot == nullptr && entry.client == nullptr))
                slot = &entry;
        if (slot != nullptr) {
            slot->client = client;
            slot->handler = handler;
            slot->argument = argument;
            slot->dead.store(false, std::memory_order_release);
        }
    }
    /* With every slot taken the client goes unguarded: JACK calls PortAudio directly. */
    if (slot == nullptr || handler == nullptr) {
        real(client, handler, argument);
        return;
    }
    real(client, EngineShutdownHandler, slot);
}

VEXA_API int jack_port_unregister(void *client, void *port) {
    auto real = Next<int (*)(void *, void *)>("jack_port_unregister");
    return real == nullptr ? -1 : Settled(client, real(client, port));
}

VEXA_API int jack_port_disconnect(void *client, void *port) {
    auto real = Next<int (*)(void *, void *)>("jack_port_disconnect");
    return real == nullptr ? -1 : Settled(client, real(client, port));
}

VEXA_API int jack_disconnect(void *client, const char *source, const char *destination) {
    auto real = Next<int (*)(void *, const char *, const char *)>("jack_disconnect");
    return real == nullptr ? -1 : Settled(client, real(client, source, destination));
}

VEXA_API int jack_deactivate(void *client) {
    auto real = Next<int (*)(void *)>("jack_deactivate");
    return real == nullptr ? -1 : Settled(client, real(client));
}

VEXA_API int jack_client_close(void *client) {
    auto real = Next<int (*)(void *)>("jack_client_close");
    if (real == nullptr) return -1;
    const int result = Settled(client, real(client));
    std::lock_guard<std::mutex> guard(gClientsLock);
    for (JackClient &entry : gClients)
        if (entry.client == client) entry.client = nullptr;
    return result;
}

} // extern "C"

uint32_t VexaF_AudioServerDeaths() { return gDeaths.load(std::memory_order_acquire); }

namespace {

struct Notifier {
    std::atomic<bool> stopped{false};
};

/* Gives PortAudio's handlers of the dead clients the news again, every 20 ms, until the stop
 * has returned. The handlers are called without the table's lock: PortAudio's stop holds its
 * own lock while it calls the port calls above, which take the table's. */
void *Notify(void *record) {
    Notifier *notifier = static_cast<Notifier *>(record);
    while (!notifier->stopped.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ShutdownHandler handlers[kMaxClients];
        void *arguments[kMaxClients];
        int count = 0;
        {
            std::lock_guard<std::mutex> guard(gClientsLock);
            for (JackClient &entry : gClients)
                if (entry.client != nullptr && entry.dead.load(std::memory_order_acquire)) {
                    handlers[count] = entry.handler;
                    arguments[count++] = entry.argument;
                }
        }
        for (int i = 0; i < count; i++) handlers[i](arguments[i]);
    }
    return nullptr;
}

} // namespace

void VexaF_StopDeadStream(void (*stop)(void *), void *argument) {
    Notifier notifier;
    pthread_t thread;
    const bool notifying = pthread_create(&thread, nullptr, Notify, &notifier) == 0;
    stop(argument); /* without the notifier (no thread to be had) it waits as PortAudio does */
    notifier.stopped.store(true, std::memory_order_release);
    if (notifying) pthread_join(thread, nullptr);
}

#else

uint32_t VexaF_AudioServerDeaths() { return 0; }

void VexaF_StopDeadStream(void (*stop)(void *), void *argument) { stop(argument); }

#endif
