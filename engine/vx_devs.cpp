/*
 * vx_devs.cpp - the device queries: maximum channel counts, device names, the device count
 * and the default devices. They take no context and answer the same whether or not a
 * stream is open: each brings PortAudio up for the query and lets it go again.
 */
#include <cstring>

#include "vx_host.h"
#include "vx_pa.h"

std::mutex &VexaF_PortAudioLock() {
    static std::mutex lock;
    /* Every use of PortAudio takes this lock first, so the audio libraries' messages are taken
     * over before PortAudio brings them up. */
    VexaF_TakeOverAudioLibraryMessages();
    return lock;
}

int32_t Vexa_GetMaxInputChannels(int32_t deviceID) {
    std::lock_guard<std::mutex> guard(VexaF_PortAudioLock());
    VexaPaSession session;
    const PaDeviceInfo *info = Pa_GetDeviceInfo(deviceID);
    if (info == nullptr) return VXERR_INVALID_DEVICE;
    return info->maxInputChannels;
}

int32_t Vexa_GetMaxOutputChannels(int32_t deviceID) {
    std::lock_guard<std::mutex> guard(VexaF_PortAudioLock());
    VexaPaSession session;
    const PaDeviceInfo *info = Pa_GetDeviceInfo(deviceID);
    if (info == nullptr) return VXERR_INVALID_DEVICE;
    return info->maxOutputChannels;
}

/* Copies at most bufferSize - 1 bytes of the name, without a terminating NUL. */
int32_t Vexa_DeviceIDToNameJava(int32_t deviceID, char *buffer, int32_t bufferSize) {
    std::lock_guard<std::mutex> guard(VexaF_PortAudioLock());
    VexaPaSession session;
    const PaDeviceInfo *info = Pa_GetDeviceInfo(deviceID);
    if (info == nullptr) return VXERR_INVALID_DEVICE;
    const int64_t length = info->name != nullptr ? static_cast<int64_t>(strlen(info->name)) : 0;
    const int64_t count = length + 1 > bufferSize ? static_cast<int64_t>(bufferSize) - 1 : length;
    if (count < 1 || buffer == nullptr) return 0;
    memcpy(buffer, info->name, static_cast<size_t>(count));
    return static_cast<int32_t>(count);
}

int32_t VexaF_DefaultInputDevice() {
    std::lock_guard<std::mutex> guard(VexaF_PortAudioLock());
    VexaPaSession session;
    return session.ok() ? Pa_GetDefaultInputDevice() : paNoDevice;
}

int32_t VexaF_DefaultOutputDevice() {
    std::lock_guard<std::mutex> guard(VexaF_PortAudioLock());
    VexaPaSession session;
    return session.ok() ? Pa_GetDefaultOutputDevice() : paNoDevice;
}

int32_t VexaF_CountDevices() {
    std::lock_guard<std::mutex> guard(VexaF_PortAudioLock());
    VexaPaSession session;
    const PaDeviceIndex count = session.ok() ? Pa_GetDeviceCount() : 0;
    return count > 0 ? count : 0;
}

int32_t Vexa_GetDeviceCount(void) { return VexaF_CountDevices(); }
int32_t Vexa_GetDefaultInputDevice(void) { return VexaF_DefaultInputDevice(); }
int32_t Vexa_GetDefaultOutputDevice(void) { return VexaF_DefaultOutputDevice(); }
