/*
 * velto.h - the C interface of the Velto real-time synthesis engine (VeltoV142).
 *
 * Every call takes the context first (except the few that need none) and returns an
 * int32_t result code: 0 on success, a negative error code on failure, or one of the two
 * positive warnings 100 and 101, which mean that the call did its work. Vexa_ErrorCodeToText
 * turns any code into its message. Calls that return a double report errors as the code
 * converted to double (-63.0 for an invalid context); Vexa_GetPort returns code - 1000000.0.
 *
 * Threading: any client thread may call any function. Calls that change the engine take the
 * context's peer lock, which serialises client threads; the audio thread never takes it.
 */
#ifndef VELTO_H
#define VELTO_H

#include <stdint.h>

#if defined(_WIN32)
#define VEXA_API __declspec(dllexport)
#else
#define VEXA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** An engine instance. Opaque to clients; create with Vexa_CreateContext. */
typedef struct VexaContext VexaContext;

/* ---- Result codes ---------------------------------------------------------------- */
#define VXERR_NONE 0
#define VXWARN_ALREADY_CONNECTED 100
#define VXWARN_NOT_CONNECTED 101
#define VXERR_INVALID_TOKEN_TYPE (-100)
#define VXERR_INVALID_PORT_TYPE (-99)
#define VXERR_INVALID_TOKEN (-98)
#define VXERR_INVALID_RATE (-97)
#define VXERR_INVALID_PARTNUM (-96)
#define VXERR_INVALID_PRIORITY (-95)
#define VXERR_INVALID_SIGNAL_TYPE (-94)
#define VXERR_SIGNEDNESS_SWITCH (-93)
#define VXERR_INCOMPATIBLE_PORTS (-92)
#define VXERR_INVALID_FLAG (-91)
#define VXERR_INVALID_DATA_TYPE (-90)
#define VXERR_NO_MEMORY (-89)
#define VXERR_TOO_MANY_TOKENS (-88)
#define VXERR_NOT_FOUND (-87)
#define VXERR_PORT_NOT_SETTABLE (-86)
#define VXERR_FILE_IO (-85)
#define VXERR_OUT_OF_RANGE (-84)
#define VXERR_HOST_INIT (-83)
#define VXERR_NOT_CONNECTED (-82)
#define VXERR_BAD_CONNECTION (-81)
#define VXERR_HOST_MUTEX (-80)
#define VXERR_INTERNAL_1 (-79)
#define VXERR_DOUBLE_START (-78)
#define VXERR_IN_CIRCUIT (-76)
#define VXERR_RATE_MISMATCH (-75)
#define VXERR_NOT_SUPPORTED (-74)
#define VXERR_NOT_RUNNING (-73)
#define VXERR_PORT_INDEX (-72)
#define VXERR_F2B_FULL (-71)
#define VXERR_F2B_INTERNAL (-70)
#define VXERR_B2F_INTERNAL (-69)
#define VXERR_ALREADY_STARTED (-68)
#define VXERR_LIST_INTERNAL (-67)
#define VXERR_CHANNELS_MISMATCH (-66)
#define VXERR_NOT_STARTED (-65)
#define VXERR_EMPTY_CIRCUIT (-64)
#define VXERR_INVALID_CONTEXT (-63)
#define VXERR_WRONG_CONTEXT (-62)
#define VXERR_INVALID_DEVICE (-61)

/* ---- Start flags ------------------------------------------------------------------ */
#define VX_FLAG_PRINT_OUTPUT 0x02 /**< no device; print each tick as text (implies 0x04) */
#define VX_FLAG_NO_DEVICE 0x04    /**< no device; batches run in the waiting client thread */
#define VX_FLAG_INPUT 0x20        /**< Vexa_Start: open the default input device, 2 channels */
#define VX_FLAG_NO_OUTPUT 0x40    /**< Vexa_Start: open no output device */

/* ---- Queue flags ------------------------------------------------------------------ */
#define QUEUE_LOOP 0x08
#define QUEUE_AUTO_STOP 0x10
#define QUEUE_REPLACEABLE 0x80

/* ---- Signal types ----------------------------------------------------------------- */
#define SIGNAL_SIGNED 0
#define SIGNAL_UNSIGNED 1
#define SIGNAL_FREQUENCY 2
#define SIGNAL_SAMPLE_RATE 3
#define SIGNAL_HALF_LIFE 4
#define SIGNAL_TIME 5
#define SIGNAL_SVF_FREQUENCY 6
#define SIGNAL_RAW 7

/* ---- Contexts and things ---------------------------------------------------------- */
VEXA_API VexaContext *Vexa_CreateContext(void);
VEXA_API void Vexa_DeleteContext(VexaContext *context);
VEXA_API int32_t Vexa_Delete(VexaContext *context, int32_t token);
VEXA_API int32_t Vexa_GetObjectCount(VexaContext *context);

/* ---- Result texts ----------------------------------------------------------------- */
VEXA_API const char *Vexa_ErrorCodeToText(int32_t code);
VEXA_API int32_t Vexa_ErrorCodeToTextJava(int32_t code, char *buffer, int32_t bufferSize);

/* ---- Lifecycle, clock, units and priorities -------------------------------------- */
VEXA_API int32_t Vexa_Initialize(VexaContext *context);
VEXA_API int32_t Vexa_Terminate(VexaContext *context);
VEXA_API int32_t Vexa_StartEngine(VexaContext *context, int32_t flags, double frameRate);
VEXA_API int32_t Vexa_StopEngine(VexaContext *context);
VEXA_API int32_t Vexa_Start(VexaContext *context, int32_t flags, double frameRate);
VEXA_API int32_t Vexa_StartDevices(VexaContext *context, int32_t flags, double frameRate,
                                   int32_t inputDeviceID, int32_t numInputChannels,
                                   int32_t outputDeviceID, int32_t numOutputChannels);
VEXA_API int32_t Vexa_Stop(VexaContext *context);
VEXA_API int32_t Vexa_GetFrameCount(VexaContext *context);
VEXA_API int32_t Vexa_GetTickCount(VexaContext *context);
VEXA_API int32_t Vexa_GetFramesPerTick(VexaContext *context);
VEXA_API double Vexa_GetFrameRate(VexaContext *context);
VEXA_API double Vexa_GetTickRate(VexaContext *context);
VEXA_API int32_t Vexa_SleepUntilTick(VexaContext *context, int32_t tick);
VEXA_API int32_t Vexa_SleepForTicks(VexaContext *context, int32_t numTicks);
VEXA_API int32_t Vexa_CheckEngineErrors(VexaContext *context);
VEXA_API int32_t Vexa_GetVersion(void);
VEXA_API int32_t Vexa_StartUnit(VexaContext *context, int32_t unitToken);
VEXA_API int32_t Vexa_StartUnitAt(VexaContext *context, int32_t tick, int32_t unitToken);
VEXA_API int32_t Vexa_StopUnit(VexaContext *context, int32_t unitToken);
VEXA_API int32_t Vexa_StopUnitAt(VexaContext *context, int32_t tick, int32_t unitToken);
VEXA_API int32_t Vexa_SetPriority(VexaContext *context, int32_t unitToken, int32_t priority);
VEXA_API int32_t Vexa_GetPriority(VexaContext *context, int32_t unitToken);
VEXA_API int32_t Vexa_StartBenchTimer(VexaContext *context);
VEXA_API int32_t Vexa_StopBenchTimer(VexaContext *context);
VEXA_API double Vexa_GetBenchTimer(VexaContext *context);

/**
 * Offline rendering into the caller's buffers (an extension of this library).
 * Valid only for a context started in no-device mode (otherwise -65). Under the peer lock,
 * computes numTicks batches exactly as the no-device wait does, reading `input`
 * (64 * numTicks interleaved frames of the context's input channels; may be null) and
 * writing `output` (64 * numTicks interleaved frames of its output channels; may be null).
 * Returns 0 or the first negative batch result.
 */
VEXA_API int32_t Vexa_RenderTicks(VexaContext *context, const float *input, float *output,
                                  int32_t numTicks);

/* ---- Devices and load ------------------------------------------------------------- */
VEXA_API double Vexa_GetUsage(VexaContext *context);
VEXA_API int32_t Vexa_GetMaxInputChannels(int32_t deviceID);
VEXA_API int32_t Vexa_GetMaxOutputChannels(int32_t deviceID);
VEXA_API int32_t Vexa_DeviceIDToNameJava(int32_t deviceID, char *buffer, int32_t bufferSize);

/* ---- Units and circuits ----------------------------------------------------------- */
VEXA_API int32_t Vexa_CreateUnit(VexaContext *context, uint32_t typeID, int32_t rate,
                                 int32_t initArgument);
VEXA_API int32_t Vexa_CreateCircuit(VexaContext *context, const int32_t *unitTokens,
                                    int32_t count, int32_t flags);

/* ---- Ports and connections -------------------------------------------------------- */
VEXA_API int32_t Vexa_SetPort(VexaContext *context, int32_t unitToken, uint32_t portID,
                              int32_t part, double value);
VEXA_API int32_t Vexa_SetPortAt(VexaContext *context, int32_t time, int32_t unitToken,
                                uint32_t portID, int32_t part, double value);
VEXA_API int32_t Vexa_ReadPort(VexaContext *context, int32_t unitToken, uint32_t portID,
                               int32_t part, double *outValue);
VEXA_API double Vexa_GetPort(VexaContext *context, int32_t unitToken, uint32_t portID,
                             int32_t part);
VEXA_API int32_t Vexa_GetNumParts(VexaContext *context, int32_t unitToken, uint32_t portID);
VEXA_API int32_t Vexa_ReadPortFrames(VexaContext *context, int32_t unitToken, uint32_t portID,
                                     int32_t part, int32_t *outFrames);
VEXA_API int32_t Vexa_GetPortFrames(VexaContext *context, int32_t unitToken, uint32_t portID,
                                    int32_t part);
VEXA_API int32_t Vexa_SetPortSignalType(VexaContext *context, int32_t unitToken,
                                        uint32_t portID, int32_t part, int32_t signalType);
VEXA_API int32_t Vexa_GetPortSignalType(VexaContext *context, int32_t unitToken,
                                        uint32_t portID, int32_t part);
VEXA_API int32_t Vexa_ConnectUnits(VexaContext *context, int32_t sourceUnit,
                                   uint32_t sourcePortID, int32_t sourcePart, int32_t destUnit,
                                   uint32_t destPortID, int32_t destPart);
VEXA_API int32_t Vexa_DisconnectUnits(VexaContext *context, int32_t unitToken, uint32_t portID,
                                      int32_t part);

/* ---- Data queues ------------------------------------------------------------------ */
VEXA_API int32_t Vexa_QueueData(VexaContext *context, int32_t unitToken, uint32_t portID,
                                int32_t dataToken, uint32_t startFrame, uint32_t numFrames,
                                uint32_t flags);
VEXA_API int32_t Vexa_QueueDataAt(VexaContext *context, int32_t time, int32_t unitToken,
                                  uint32_t portID, int32_t dataToken, uint32_t startFrame,
                                  uint32_t numFrames, uint32_t flags);
VEXA_API int32_t Vexa_ClearDataQueue(VexaContext *context, int32_t unitToken, uint32_t portID);
VEXA_API int32_t Vexa_ClearDataQueueAt(VexaContext *context, int32_t time, int32_t unitToken,
                                       uint32_t portID);

/* ---- Samples ---------------------------------------------------------------------- */
VEXA_API int32_t Vexa_CreateSample(VexaContext *context, uint32_t numFrames,
                                   int32_t channelsPerFrame);
VEXA_API int32_t Vexa_WriteSample(VexaContext *context, int32_t sampleToken,
                                  uint32_t startFrame, const int16_t *frames,
                                  uint32_t numFrames);
VEXA_API int32_t Vexa_ReadSample(VexaContext *context, int32_t sampleToken,
                                 uint32_t startFrame, int16_t *frames, uint32_t numFrames);
VEXA_API int32_t Vexa_WriteSampleJava(VexaContext *context, int32_t sampleToken,
                                      uint32_t startFrame, uint32_t numFrames,
                                      const int16_t *base, uint32_t offset, uint32_t length);
VEXA_API int32_t Vexa_ReadSampleJava(VexaContext *context, int32_t sampleToken,
                                     uint32_t startFrame, uint32_t numFrames, int16_t *base,
                                     uint32_t offset, uint32_t length);

/* ---- Envelopes -------------------------------------------------------------------- */
VEXA_API int32_t Vexa_CreateEnvelope(VexaContext *context, uint32_t numFrames);
VEXA_API int32_t Vexa_WriteEnvelope(VexaContext *context, int32_t envelopeToken,
                                    uint32_t startFrame, const double *frames,
                                    uint32_t numFrames);
VEXA_API int32_t Vexa_ReadEnvelope(VexaContext *context, int32_t envelopeToken,
                                   uint32_t startFrame, double *frames, uint32_t numFrames);
VEXA_API int32_t Vexa_ReadWriteEnvelope(VexaContext *context, int32_t envelopeToken,
                                        uint32_t startFrame, uint32_t numFrames, void *buffer,
                                        uint32_t maxBytes, int32_t write);
VEXA_API int32_t Vexa_WriteEnvelopeJava(VexaContext *context, int32_t envelopeToken,
                                        uint32_t startFrame, uint32_t numFrames,
                                        const double *base, uint32_t offset, uint32_t length);
VEXA_API int32_t Vexa_ReadEnvelopeJava(VexaContext *context, int32_t envelopeToken,
                                       uint32_t startFrame, uint32_t numFrames, double *base,
                                       uint32_t offset, uint32_t length);

/* ---- Tables ----------------------------------------------------------------------- */
VEXA_API int32_t Vexa_CreateTable(VexaContext *context, uint32_t numFrames);
VEXA_API int32_t Vexa_WriteTable(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                                 const int16_t *values, uint32_t numFrames);
VEXA_API int32_t Vexa_WriteTableDoubles(VexaContext *context, int32_t tableToken,
                                        uint32_t startFrame, const double *values,
                                        uint32_t numFrames);
VEXA_API int32_t Vexa_WriteTableJava(VexaContext *context, int32_t tableToken,
                                     uint32_t startFrame, uint32_t numFrames,
                                     const int16_t *base, uint32_t offset, uint32_t length);
VEXA_API int32_t Vexa_WriteTableDoublesJava(VexaContext *context, int32_t tableToken,
                                            uint32_t startFrame, uint32_t numFrames,
                                            const double *base, uint32_t offset,
                                            uint32_t length);
VEXA_API int32_t Vexa_UseTable(VexaContext *context, int32_t unitToken, uint32_t portID,
                               int32_t partNum, int32_t tableToken);

/* ---- Debugging -------------------------------------------------------------------- */
VEXA_API int32_t Vexa_Debug(VexaContext *context, int32_t code, int32_t arg);
VEXA_API void Vexa_SetTrace(VexaContext *context, int32_t level);
VEXA_API int32_t Vexa_GetTrace(VexaContext *context);

#ifdef __cplusplus
}
#endif

#endif /* VELTO_H */
