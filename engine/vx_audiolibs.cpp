/*
 * vx_audiolibs.cpp - the diagnostics of the audio libraries under PortAudio. ALSA and JACK
 * write their own messages to standard error while PortAudio probes them ("cannot find card",
 * "Cannot connect to server socket"): on a machine without a sound card or a running server
 * that is a screenful at every device query. The engine takes those messages over and shows
 * them only when asked to (trace level VEXA_TRACE_AUDIO_LIBRARIES or more).
 *
 * The libraries' handlers are process-wide, so the level they follow is process-wide too:
 * the one most recently given to Vexa_SetTrace on any context. The handlers are found with
 * dlsym among the libraries already loaded with PortAudio, so that a PortAudio built without
 * ALSA or JACK needs nothing of them.
 */
#include <cstdarg>
#include <cstdio>

#include "vx_host.h"

#if defined(__linux__)
#include <dlfcn.h>
#endif

namespace {

int32_t gLibraryTrace = 0;

#if defined(__linux__)
bool Showing() {
    return __atomic_load_n(&gLibraryTrace, __ATOMIC_RELAXED) >= VEXA_TRACE_AUDIO_LIBRARIES;
}

/* ALSA's error handler: the library's own line, as ALSA would print it. */
void AlsaMessage(const char *file, int line, const char *function, int, const char *format,
                 ...) {
    if (!Showing()) return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(stderr, "ALSA lib %s:%d:(%s) %s\n", file != nullptr ? file : "?", line,
                 function != nullptr ? function : "?", text);
}

/* JACK's error and information handlers. */
void JackMessage(const char *text) {
    if (Showing() && text != nullptr) std::fprintf(stderr, "%s\n", text);
}

using AlsaHandler = void (*)(const char *, int, const char *, int, const char *, ...);
using AlsaSetHandler = int (*)(AlsaHandler);
using JackSetFunction = void (*)(void (*)(const char *));

template <typename Function>
Function Find(const char *name) {
    void *symbol = dlsym(RTLD_DEFAULT, name);
    Function function;
    static_assert(sizeof function == sizeof symbol);
    __builtin_memcpy(&function, &symbol, sizeof function);
    return function;
}

void Install() {
    if (auto set = Find<AlsaSetHandler>("snd_lib_error_set_handler")) set(AlsaMessage);
    if (auto set = Find<JackSetFunction>("jack_set_error_function")) set(JackMessage);
    if (auto set = Find<JackSetFunction>("jack_set_info_function")) set(JackMessage);
}
#else
void Install() {}
#endif

} // namespace

void VexaF_TakeOverAudioLibraryMessages() {
    static const bool installed = (Install(), true); /* once, by the first caller */
    (void)installed;
}

void VexaF_SetAudioLibraryTrace(int32_t level) {
    __atomic_store_n(&gLibraryTrace, level, __ATOMIC_RELAXED);
}
