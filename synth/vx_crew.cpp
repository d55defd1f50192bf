/*
 * vx_crew.cpp - the render threads of a context: workers that compute parts of a block's run
 * list beside the thread that runs the batch (the audio thread, or the client thread that
 * renders without a device).
 *
 * A phase is one run list's parts in one block (synth/vx_plan.cpp cuts the plan into parts and
 * runs them). The batch's thread publishes a phase in one word, the claim word: the phase's
 * epoch in the upper 32 bits, the first and the end of the phase's parts in the lower two
 * 16-bit fields. Every thread takes the first part, in the phase's order, that nobody took and
 * whose predecessors are computed (a compare-and-swap on the part's flag, so a part is computed
 * by exactly one thread). The lowest untaken part's predecessors are always taken, so when no
 * part is ready the parts being waited for are being computed. The batch's thread computes
 * every part that no worker took, and waits (spinning) only for parts that workers are
 * computing. It never locks or sleeps: waking a sleeping worker is a semaphore post, made only
 * when the worker said it sleeps.
 *
 * Workers that find nothing to take spin for a while, then sleep on their semaphore. Client
 * calls create and end them (never the batch's thread): they live while the engine is started.
 */
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <time.h>

#include "vx_synth.h"

namespace {
constexpr int32_t kWorkers = VEXA_MAX_RENDER_THREADS - 1;
/* A worker with nothing to take spins this long before it sleeps. */
constexpr int64_t kSpinNanoseconds = 200000;

/* Records are padded so that two workers' flags do not share a cache line (the counted
 * allocator aligns to 16 bytes only, so no alignas). */
struct Worker {
    int32_t sleeping; /* 1 from just before the worker sleeps until someone wakes it */
    int32_t quit;     /* set by the client call that ends the worker */
    bool running;     /* the thread exists (client side) */
    sem_t wake;
    pthread_t thread;
    VexaContext *context;
    char padding[64];
};

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

/* A wait for work that another thread is computing: spins, and after a long spin (that thread
 * was descheduled, as when there are more threads than cores) offers the processor between
 * spins. It never sleeps or locks. */
class Spinner {
  public:
    void Once() {
        if (++spins_ < 4096) {
            Pause();
        } else {
            spins_ = 3072;
            sched_yield();
        }
    }

  private:
    int32_t spins_ = 0;
};

int64_t Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

inline uint32_t EpochOf(uint64_t word) { return static_cast<uint32_t>(word >> 32); }
inline int32_t NextOf(uint64_t word) { return static_cast<int32_t>((word >> 16) & 0xffff); }
inline int32_t EndOf(uint64_t word) { return static_cast<int32_t>(word & 0xffff); }
} // namespace

struct VexaCrew {
    uint64_t claim;
    char padding0[56];
    uint32_t finished; /* parts of the current phase computed */
    char padding1[60];
    uint32_t epoch; /* the batch's thread only */
    int32_t slots;  /* worker records the batch's thread looks at */
    char padding2[56];
    uint64_t workerParts; /* parts computed by workers, counted for tests and measurements */
    Worker workers[kWorkers];
};

namespace {
/* Takes and computes parts of the phase `epoch` until every part is taken; returns how many it
 * computed. A part is taken only when the parts it depends on are computed, the first such in
 * the phase's order; while every untaken part waits for parts being computed, it spins. */
uint64_t TakeParts(VexaContext *context, VexaCrew *crew, uint32_t epoch) {
    uint64_t taken = 0;
    const uint64_t word = __atomic_load_n(&crew->claim, __ATOMIC_ACQUIRE);
    if (EpochOf(word) != epoch) return 0;
    const int32_t end = EndOf(word);
    int32_t lowest = NextOf(word);
    Spinner spinner;
    for (;;) {
        const int32_t part = VexaB_TakeReadyPart(context, end, epoch, &lowest);
        if (part == -2) return taken;
        if (part < 0) {
            /* A worker that slept through the phase finds it over. */
            if (EpochOf(__atomic_load_n(&crew->claim, __ATOMIC_ACQUIRE)) != epoch) return taken;
            spinner.Once();
            continue;
        }
        VexaB_RunPlanPart(context, part, epoch);
        __atomic_add_fetch(&crew->finished, 1u, __ATOMIC_RELEASE);
        taken++;
    }
}

void *WorkerMain(void *argument) {
    Worker *worker = static_cast<Worker *>(argument);
    VexaContext *context = worker->context;
    VexaCrew *crew = context->vxb_Crew;
    int64_t idleSince = Now();
    int32_t spins = 0;
    uint32_t seen = 0; /* the last phase this worker took parts of */
    for (;;) {
        if (__atomic_load_n(&worker->quit, __ATOMIC_ACQUIRE) != 0) return nullptr;
        const uint64_t word = __atomic_load_n(&crew->claim, __ATOMIC_ACQUIRE);
        if (EpochOf(word) != seen) {
            seen = EpochOf(word);
            const uint64_t taken = TakeParts(context, crew, seen);
            if (taken != 0) __atomic_add_fetch(&crew->workerParts, taken, __ATOMIC_RELAXED);
            spins = 0;
            idleSince = Now();
            continue;
        }
        if (++spins < 1024) {
            Pause();
            continue;
        }
        spins = 0;
        if (Now() - idleSince < kSpinNanoseconds) {
            sched_yield();
            continue;
        }
        /* Sleep unless a phase was published or an end asked for meanwhile. Whoever clears
         * `sleeping` from 1 posts the semaphore (or, if the worker clears it, nobody does). */
        __atomic_store_n(&worker->sleeping, 1, __ATOMIC_SEQ_CST);
        if (__atomic_load_n(&crew->claim, __ATOMIC_SEQ_CST) == word &&
            __atomic_load_n(&worker->quit, __ATOMIC_SEQ_CST) == 0) {
            while (sem_wait(&worker->wake) != 0) {
            }
        } else if (__atomic_exchange_n(&worker->sleeping, 0, __ATOMIC_SEQ_CST) == 0) {
            while (sem_wait(&worker->wake) != 0) { /* the post that is on its way */
            }
        }
        idleSince = Now();
    }
}

/* Clears a sleeping worker's flag and posts its semaphore (either side). */
void Wake(Worker *worker) {
    if (__atomic_load_n(&worker->sleeping, __ATOMIC_SEQ_CST) != 0 &&
        __atomic_exchange_n(&worker->sleeping, 0, __ATOMIC_SEQ_CST) != 0)
        sem_post(&worker->wake);
}

void EndWorker(Worker *worker) {
    __atomic_store_n(&worker->quit, 1, __ATOMIC_SEQ_CST);
    Wake(worker);
    pthread_join(worker->thread, nullptr);
    worker->running = false;
    while (sem_trywait(&worker->wake) == 0) { /* a post that came after the last sleep */
    }
}
} // namespace

/* ---- Set-up ------------------------------------------------------------------------------ */

int32_t VexaS_InitCrew(VexaContext *context) {
    VexaCrew *crew = static_cast<VexaCrew *>(
        VexaF_AllocateMemory(context, sizeof(VexaCrew), "VexaS_InitCrew"));
    context->vxb_Crew = crew;
    if (crew == nullptr) return VXERR_NO_MEMORY;
    crew->claim = 0;
    crew->finished = 0;
    crew->epoch = 0;
    crew->slots = 0;
    int32_t made = 0;
    for (; made < kWorkers; made++) {
        Worker &worker = crew->workers[made];
        worker.sleeping = 0;
        worker.quit = 0;
        worker.running = false;
        worker.context = context;
        if (sem_init(&worker.wake, 0, 0) != 0) break;
    }
    if (made < kWorkers) {
        while (made > 0) sem_destroy(&crew->workers[--made].wake);
        VexaF_FreeMemory(context, crew);
        context->vxb_Crew = nullptr;
        return VXERR_NO_MEMORY;
    }
    return 0;
}

void VexaS_TermCrew(VexaContext *context) {
    VexaCrew *crew = context->vxb_Crew;
    if (crew == nullptr) return;
    VexaF_SetRenderWorkers(context, 0);
    for (Worker &worker : crew->workers) sem_destroy(&worker.wake);
    VexaF_FreeMemory(context, crew);
    context->vxb_Crew = nullptr;
}

/* ---- The client's side --------------------------------------------------------------- */

int32_t VexaF_SetRenderWorkers(VexaContext *context, int32_t count) {
    VexaCrew *crew = context->vxb_Crew;
    if (crew == nullptr) return count == 0 ? 0 : VXERR_HOST_INIT;
    if (count < 0) count = 0;
    if (count > kWorkers) count = kWorkers;
    /* Fewer: the batch's thread stops looking at the records first. */
    if (count < vx_load(crew->slots)) vx_store(crew->slots, count);
    for (int32_t k = count; k < kWorkers; k++)
        if (crew->workers[k].running) EndWorker(&crew->workers[k]);
    for (int32_t k = 0; k < count; k++) {
        Worker &worker = crew->workers[k];
        if (worker.running) continue;
        /* The batch's thread may still be looking at the record of an ended worker. */
        __atomic_store_n(&worker.quit, 0, __ATOMIC_SEQ_CST);
        __atomic_store_n(&worker.sleeping, 0, __ATOMIC_SEQ_CST);
        if (pthread_create(&worker.thread, nullptr, WorkerMain, &worker) != 0) {
            /* No thread: the workers made so far stay; the batch computes the rest. */
            vx_store(crew->slots, k);
            return VXERR_NO_MEMORY;
        }
#if defined(__linux__)
        pthread_setname_np(worker.thread, "velto-render");
#endif
        worker.running = true;
    }
    vx_store(crew->slots, count);
    return 0;
}

/* ---- The batch's side ---------------------------------------------------------------- */

void VexaB_RunPhase(VexaContext *context, int32_t first, int32_t end) {
    VexaCrew *crew = context->vxb_Crew;
    uint32_t epoch = ++crew->epoch;
    __atomic_store_n(&crew->finished, 0u, __ATOMIC_RELAXED);
    const uint64_t word = (static_cast<uint64_t>(epoch) << 32) |
                          (static_cast<uint64_t>(first) << 16) | static_cast<uint64_t>(end);
    __atomic_store_n(&crew->claim, word, __ATOMIC_SEQ_CST);
    const int32_t slots = vx_load(crew->slots);
    for (int32_t k = 0; k < slots; k++) Wake(&crew->workers[k]);
    TakeParts(context, crew, epoch);
    const uint32_t parts = static_cast<uint32_t>(end - first);
    Spinner spinner;
    while (__atomic_load_n(&crew->finished, __ATOMIC_ACQUIRE) != parts) spinner.Once();
}

uint64_t VexaS_WorkerParts(const VexaContext *context) {
    const VexaCrew *crew = context->vxb_Crew;
    return crew == nullptr ? 0 : __atomic_load_n(&crew->workerParts, __ATOMIC_RELAXED);
}

uint32_t VexaB_LastPhase(const VexaContext *context) {
    const VexaCrew *crew = context->vxb_Crew;
    return crew == nullptr ? 0 : crew->epoch;
}

void VexaB_SpinUntil(const uint32_t *flag, uint32_t value) {
    Spinner spinner;
    while (__atomic_load_n(flag, __ATOMIC_ACQUIRE) != value) spinner.Once();
}
