/*
 * vx_linux.cpp - host services, Linux build: the peer lock, the bench timer, host queries.
 *
 * The peer lock serialises the client threads of one context (never the audio thread). It
 * is a mutex in the host record plus the id of the thread that holds it, which makes the
 * lock non-re-entrant in a checked way: a second VXHost_ForbidPeers by the holder and a
 * VXHost_PermitPeers by a thread that does not hold it both fail with -80 and change nothing.
 */
#include <pthread.h>

#include <cstdio>

#include "vx_host.h"

namespace {
struct HostRecord {
    pthread_mutex_t mutex;
    pthread_t owner;   /* valid while busy is 1 */
    int32_t busy;      /* 1 while a client thread holds the peer lock */
};

/* Whether the calling thread is the one holding the lock. Only the holder itself stores its
 * own id, so a thread that reads its id here really holds the lock. */
bool HeldByCaller(HostRecord *host) {
    if (__atomic_load_n(&host->busy, __ATOMIC_ACQUIRE) == 0) return false;
    pthread_t owner;
    __atomic_load(&host->owner, &owner, __ATOMIC_RELAXED);
    return pthread_equal(owner, pthread_self()) != 0;
}
} // namespace

int32_t VXHost_Initialize(VexaContext *context) {
    HostRecord *host =
        static_cast<HostRecord *>(VexaF_AllocateMemory(context, sizeof(HostRecord), "VXHost_Start"));
    if (host == nullptr || pthread_mutex_init(&host->mutex, nullptr) != 0) {
        VexaF_FreeMemory(context, host);
        std::printf("VXHost_Initialize failed!\n");
        std::fflush(stdout);
        VXHost_Terminate(context);
        return VXERR_NO_MEMORY;
    }
    host->busy = 0;
    context->vxf_Host = host;
    return 0;
}

int32_t VXHost_Terminate(VexaContext *context) {
    HostRecord *host = static_cast<HostRecord *>(context->vxf_Host);
    if (host == nullptr) return VXERR_HOST_INIT;
    context->vxf_Host = nullptr;
    pthread_mutex_destroy(&host->mutex);
    VexaF_FreeMemory(context, host);
    return 0;
}

int32_t VXHost_ForbidPeers(VexaContext *context) {
    HostRecord *host = static_cast<HostRecord *>(context->vxf_Host);
    if (host == nullptr) return VXERR_HOST_INIT;
    if (HeldByCaller(host)) return VXERR_HOST_MUTEX;
    if (pthread_mutex_lock(&host->mutex) != 0) return VXERR_HOST_MUTEX;
    pthread_t self = pthread_self();
    __atomic_store(&host->owner, &self, __ATOMIC_RELAXED);
    __atomic_store_n(&host->busy, 1, __ATOMIC_RELEASE);
    return 0;
}

int32_t VXHost_PermitPeers(VexaContext *context) {
    HostRecord *host = static_cast<HostRecord *>(context->vxf_Host);
    if (host == nullptr) return VXERR_HOST_INIT;
    if (!HeldByCaller(host)) return VXERR_HOST_MUTEX;
    __atomic_store_n(&host->busy, 0, __ATOMIC_RELEASE);
    pthread_mutex_unlock(&host->mutex);
    return 0;
}

int32_t VXHost_StartBenchTimer() { return 0; }
int32_t VXHost_StopBenchTimer() { return 0; }
double VXHost_GetBenchTimer() { return 0.0; }

int32_t VXHost_Debug(VexaContext * /*context*/, int32_t code, int32_t /*arg*/) {
    return code == 2 ? 0 : -1;
}
