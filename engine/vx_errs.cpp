/*
 * vx_errs.cpp - the message text of every result code.
 */
#include <cstring>

#include "vx_base.h"

namespace {
const char kOutOfRange[] = "Warning - Error Code out of range.";

/* Messages of the negative codes, indexed by (code + 100). Codes without a message
 * (-77) are null. */
const char *const kErrorMessages[] = {
    "Invalid token type.",                                      /* -100 */
    "Invalid port type.",                                       /* -99 */
    "Invalid token.",                                           /* -98 */
    "Invalid rate.",                                            /* -97 */
    "Invalid partnum.",                                         /* -96 */
    "Invalid priority.",                                        /* -95 */
    "Invalid signal type.",                                     /* -94 */
    "Attempt to switch signal signed <-> unsigned.",            /* -93 */
    "Attempt to connect incompatible ports.",                   /* -92 */
    "Invalid flag.",                                            /* -91 */
    "Invalid data type.",                                       /* -90 */
    "Memory allocation failed.",                                /* -89 */
    "Too many tokens. Table size exceeded.",                    /* -88 */
    "Named thing not found.",                                   /* -87 */
    "Port not settable.",                                       /* -86 */
    "Output file i/o error.",                                   /* -85 */
    "Parameter out of range.",                                  /* -84 */
    "Host initialization failed.",                              /* -83 */
    "Port not connected.",                                      /* -82 */
    "Bad connection.",                                          /* -81 */
    "Host mutex failed.",                                       /* -80 */
    "Internal error #1. Please notify support@velto.dev.",      /* -79 */
    "Engine double started with different parameters.",        /* -78 */
    nullptr,                                                    /* -77 */
    "Unit in Circuit. Not independant.",                        /* -76 */
    "Control versus Audio rate mismatch.",                      /* -75 */
    "Feature not supported by this object.",                    /* -74 */
    "Vexa or Velto not currently running.",                     /* -73 */
    "Port index out of range.",                                 /* -72 */
    "Front To Back FIFO Full.",                                 /* -71 */
    "Internal F2B FIFO error.",                                 /* -70 */
    "Internal B2F FIFO error.",                                 /* -69 */
    "Unit already started. Can't be used in  circuit.",         /* -68 */
    "Internal linked list error.",                              /* -67 */
    "ChannelsPerFrame mismatch.",                               /* -66 */
    "Synthesis Engine NOT started.",                            /* -65 */
    "Circuit cannot have zero subunits.",                       /* -64 */
    "VexaContext is invalid.",                                  /* -63 */
    "Object not part of VexaContext.",                          /* -62 */
    "Invalid device ID.",                                       /* -61 */
};
constexpr int32_t kFirstCode = -100;
constexpr int32_t kLastCode = -61;
static_assert(sizeof(kErrorMessages) / sizeof(kErrorMessages[0]) == kLastCode - kFirstCode + 1);
} // namespace

extern "C" VEXA_API const char *Vexa_ErrorCodeToText(int32_t code) {
    if (code == 0) return "No error.";
    if (code == 100) return "Port already connected.";
    if (code == 101) return "Port not connected.";
    if (code >= kFirstCode && code <= kLastCode) {
        const char *message = kErrorMessages[code - kFirstCode];
        if (message != nullptr) return message;
    }
    return kOutOfRange;
}

extern "C" VEXA_API int32_t Vexa_ErrorCodeToTextJava(int32_t code, char *buffer,
                                                     int32_t bufferSize) {
    const char *message = Vexa_ErrorCodeToText(code);
    int64_t length = static_cast<int64_t>(std::strlen(message));
    int64_t count = (length + 1 > bufferSize) ? static_cast<int64_t>(bufferSize) - 1 : length;
    if (count < 1 || buffer == nullptr) return 0;
    std::memcpy(buffer, message, static_cast<size_t>(count));
    return static_cast<int32_t>(count);
}
