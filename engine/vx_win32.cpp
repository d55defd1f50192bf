/*
 * vx_win32.cpp - host services, Windows build: the peer lock, the bench timer, host queries,
 * and the PortAudio calls that the Windows library offers its clients.
 *
 * The peer lock is a critical section in the host record followed by a busy flag. A critical
 * section lets its owner enter again, so a second VXHost_ForbidPeers by the holder gets in,
 * finds the busy flag set, leaves once more and fails with -80: the lock stays held once, by
 * the outer caller. The record also keeps the id of the holding thread, so that a
 * VXHost_PermitPeers by a thread that does not hold the lock fails with -80 and changes
 * nothing instead of leaving a critical section it does not own.
 *
 * Differences from the Linux build's host services: the missing record gives -73 instead of
 * -83, debug code 2 returns the calling thread's id, and there is no bench timer (the three
 * timer calls return 0 and 0.0).
 */
#include <windows.h>

#include <portaudio.h>

#include <cstdio>

#include "velto.h"
#include "vx_host.h"

namespace {
struct HostRecord {
    CRITICAL_SECTION section;
    int32_t busy;   /* 1 while a client thread holds the peer lock */
    DWORD owner;    /* id of the holding thread, valid while busy is 1 */
};

/* Whether the calling thread holds the lock. Only the holder stores its own id, so a thread
 * that reads its id here really holds the lock. */
bool HeldByCaller(HostRecord *host) {
    if (__atomic_load_n(&host->busy, __ATOMIC_ACQUIRE) == 0) return false;
    return __atomic_load_n(&host->owner, __ATOMIC_RELAXED) == GetCurrentThreadId();
}
} // namespace

int32_t VXHost_Initialize(VexaContext *context) {
    HostRecord *host =
        static_cast<HostRecord *>(VexaF_AllocateMemory(context, sizeof(HostRecord), "VXHost_Start"));
    if (host == nullptr) {
        std::printf("VXHost_Initialize failed!\n");
        std::fflush(stdout);
        VXHost_Terminate(context);
        return VXERR_NO_MEMORY;
    }
    host->busy = 0;
    host->owner = 0;
    InitializeCriticalSection(&host->section);
    context->vxf_Host = host;
    return 0;
}

int32_t VXHost_Terminate(VexaContext *context) {
    HostRecord *host = static_cast<HostRecord *>(context->vxf_Host);
    if (host == nullptr) return VXERR_NOT_RUNNING;
    context->vxf_Host = nullptr;
    DeleteCriticalSection(&host->section);
    VexaF_FreeMemory(context, host);
    return 0;
}

int32_t VXHost_ForbidPeers(VexaContext *context) {
    HostRecord *host = static_cast<HostRecord *>(context->vxf_Host);
    if (host == nullptr) return VXERR_NOT_RUNNING;
    EnterCriticalSection(&host->section);
    if (__atomic_load_n(&host->busy, __ATOMIC_RELAXED) != 0) {
        /* Only the holder can be inside: it entered a second time. */
        LeaveCriticalSection(&host->section);
        return VXERR_HOST_MUTEX;
    }
    __atomic_store_n(&host->owner, GetCurrentThreadId(), __ATOMIC_RELAXED);
    __atomic_store_n(&host->busy, 1, __ATOMIC_RELEASE);
    return 0;
}

int32_t VXHost_PermitPeers(VexaContext *context) {
    HostRecord *host = static_cast<HostRecord *>(context->vxf_Host);
    if (host == nullptr) return VXERR_NOT_RUNNING;
    if (!HeldByCaller(host)) return VXERR_HOST_MUTEX;
    __atomic_store_n(&host->busy, 0, __ATOMIC_RELEASE);
    LeaveCriticalSection(&host->section);
    return 0;
}

/* No bench timer in this build: the public calls return these constants. */
int32_t VXHost_StartBenchTimer() { return 0; }
int32_t VXHost_StopBenchTimer() { return 0; }
double VXHost_GetBenchTimer() { return 0.0; }

int32_t VXHost_Debug(VexaContext * /*context*/, int32_t code, int32_t /*arg*/) {
    return code == 2 ? static_cast<int32_t>(GetCurrentThreadId()) : -1;
}

/* ---- PortAudio calls offered to the library's clients ---------------------------------
 * Pa_Initialize and Pa_Terminate are PortAudio's own, linked into this library: the linker
 * directives below export them as they are. The other three keep the names of the older
 * interface generation and forward to their v19 counterparts. */
__asm__(".section .drectve\n\t"
        ".ascii \" -export:Pa_Initialize\"\n\t"
        ".ascii \" -export:Pa_Terminate\"\n\t"
        ".text");

extern "C" {
VEXA_API int Pa_CountDevices(void) { return Pa_GetDeviceCount(); }
VEXA_API int Pa_GetDefaultInputDeviceID(void) { return Pa_GetDefaultInputDevice(); }
VEXA_API int Pa_GetDefaultOutputDeviceID(void) { return Pa_GetDefaultOutputDevice(); }
}
