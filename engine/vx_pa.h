/*
 * vx_pa.h - shared by vx_paudio and vx_devs: the process-wide lock around PortAudio's
 * front-end calls, and a scoped PortAudio session for the device queries.
 *
 * PortAudio's initialisation count and host-API tables are plain process-wide data, so
 * every Pa_Initialize, Pa_Terminate, stream open/start/stop/close and device query made by
 * the engine is serialised by this lock. Only client threads take it; the audio callback
 * never does.
 */
#ifndef VX_PA_H
#define VX_PA_H

#include <portaudio.h>

#include <mutex>

std::mutex &VexaF_PortAudioLock();

/* Initialises PortAudio for the duration of one query and terminates it again, so the
 * queries answer the same whether or not a stream is open. The caller holds the lock. */
class VexaPaSession {
  public:
    VexaPaSession() : initialized_(Pa_Initialize() == paNoError) {}
    ~VexaPaSession() {
        if (initialized_) Pa_Terminate();
    }
    VexaPaSession(const VexaPaSession &) = delete;
    VexaPaSession &operator=(const VexaPaSession &) = delete;
    bool ok() const { return initialized_; }

  private:
    bool initialized_;
};

#endif /* VX_PA_H */
