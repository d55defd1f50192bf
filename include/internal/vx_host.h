/*
 * vx_host.h - host services and the audio device: the peer lock and bench timer of each
 * platform (engine/vx_linux.cpp, engine/vx_win32.cpp), and the PortAudio stream, its callback,
 * the waits for its ticks and the device queries (engine/vx_paudio.cpp, engine/vx_devs.cpp).
 */
#ifndef VX_HOST_H
#define VX_HOST_H

#include "vx_context.h"

/* ---- Platform differences ---------------------------------------------------------- */
#if defined(_WIN32)
/* Windows build: a sender that finds the FIFO full gives the audio thread one tick. */
constexpr int32_t VX_HOST_DRAIN_TICKS = 1;
/* Windows build: a table written from doubles clips each value to [-1, +1]. */
constexpr bool VX_HOST_CLIPS_TABLE_DOUBLES = true;
#else
constexpr int32_t VX_HOST_DRAIN_TICKS = 2;
constexpr bool VX_HOST_CLIPS_TABLE_DOUBLES = false;
#endif

/* ---- Host services ----------------------------------------------------------------- */
int32_t VXHost_Initialize(VexaContext *context);
int32_t VXHost_Terminate(VexaContext *context);
int32_t VXHost_ForbidPeers(VexaContext *context);
int32_t VXHost_PermitPeers(VexaContext *context);
int32_t VXHost_StartBenchTimer();
int32_t VXHost_StopBenchTimer();
double VXHost_GetBenchTimer();
int32_t VXHost_Debug(VexaContext *context, int32_t code, int32_t arg);

/* ---- The PortAudio stream and devices ---------------------------------------------- */
/* The audio callback: one batch per whole tick of the buffer, with the stream's load. */
int VexaCallback(const void *inputBuffer, void *outputBuffer, unsigned long framesPerBuffer,
                 double outTime, void *userData);
int32_t VexaF_StartAudio(VexaContext *context, uint32_t flags, double *frameRate);
int32_t VexaF_StopAudio(VexaContext *context);
int32_t VexaF_IsEngineRunning(VexaContext *context);
/* A stream that has made no callback for this long while open is taken as stalled (its audio
 * server died or hangs): waits on it return -73 instead of waiting on. A device period is a few
 * milliseconds; even a loaded machine does not hold a callback back for two seconds. */
#define VX_STREAM_STALL_MS 2000
/* After a JACK server's death, a stream that makes no callback for this long was on it. */
#define VX_STREAM_DEATH_MS 100
/* Polls the tick count of the running stream; onWake (when given) runs after each slice. */
int32_t VXAudio_SleepUntilTick(VexaContext *context, int32_t tick,
                               void (*onWake)(VexaContext *context) = nullptr);
int32_t VexaF_DefaultInputDevice();
int32_t VexaF_DefaultOutputDevice();
int32_t VexaF_CountDevices();
/* The audio libraries' own messages (ALSA, JACK) go through the engine, shown only at trace
 * level VEXA_TRACE_AUDIO_LIBRARIES or more: the handlers are installed before PortAudio is
 * first brought up, and the level is the one last given to Vexa_SetTrace. */
void VexaF_TakeOverAudioLibraryMessages();
void VexaF_SetAudioLibraryTrace(int32_t level);
/* Deaths of JACK servers that PortAudio's JACK host has been told of, counted in the process
 * (engine/vx_jackguard); and a stop of a stream whose server died, run so that PortAudio's
 * wait for the dead server ends at once. */
uint32_t VexaF_AudioServerDeaths();
void VexaF_StopDeadStream(void (*stop)(void *), void *argument);

#endif /* VX_HOST_H */
