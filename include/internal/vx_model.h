/*
 * vx_model.h - the unit model, used on both sides: a unit's port records found from its
 * descriptor, port defaults, the signal conversions (synth/vx_shared.cpp), and the services a
 * unit function calls on the audio thread: auto-stop, queue stepping (synth/vx_playqueue.cpp)
 * and the context's random sequence (units/vx_random.cpp). Nothing here belongs to the client
 * threads only; units see this layer through units/vx_unit.h.
 */
#ifndef VX_MODEL_H
#define VX_MODEL_H

#include "vx_context.h"

/* ---- Port records ------------------------------------------------------------------ */
InputPort *VexaS_GetInput(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
OutputPort *VexaS_GetOutput(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
VariablePort *VexaS_GetVariable(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
BusInputPort *VexaS_GetBusInput(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
BusOutputPort *VexaS_GetBusOutput(VexaUnit *unit, const PortInfo *portInfo, int32_t part);
QueuePort *VexaS_GetQueue(VexaUnit *unit, const PortInfo *portInfo);
TablePort *VexaS_GetTable(VexaUnit *unit, const PortInfo *portInfo);
/* The descriptor of a unit's port by ID: 0, -99 (a port of another kind than kindMask
 * allows) or -87 (no such port). */
int32_t VexaS_FindPortInfo(const VexaUnit *unit, uint32_t portID, uint8_t kindMask,
                           const PortInfo **outPortInfo);

/* ---- Circuits ---------------------------------------------------------------------- */
/* The descriptor of every circuit: no ports; its unit function runs the members in order
 * (synth/vx_task.cpp). */
extern const UnitInfo CircuitUnitInfo;

/* ---- Defaults and conversions ------------------------------------------------------ */
int32_t VexaS_SetUnitPortDefaults(VexaContext *context, VexaUnit *unit, uint8_t mask);
int32_t VexaS_ConvertSignalToNative(VexaContext *context, uint8_t signalType, uint8_t rate,
                                    float value, float *outNative);
int32_t VexaS_ConvertFP_16_ClipS(float value);

/* ---- Services of unit functions (audio thread) ------------------------------------- */
/* Stops the unit (or its outermost circuit) at the end of the batch. */
void VXLL_AutoStopUnit(VexaUnit *unit);
/* Steps a queue port by one frame of frameBytes bytes; negative when the queue ran dry. */
int32_t VXLL_NextChannelFrame(VexaContext *context, QueuePort *port, uint32_t frameBytes);
/* The context's one pseudo-random sequence. */
uint32_t VXU_CalcRandom(VexaContext *context);

/* ---- The catalogue (units/vx_catalog.cpp) ------------------------------------------ */
void VexaF_LoadUnits(VexaContext *context);
const UnitInfo *VexaF_LookupUnitInfo(VexaContext *context, uint32_t typeID);

#endif /* VX_MODEL_H */
