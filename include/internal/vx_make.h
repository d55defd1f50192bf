/*
 * vx_make.h - the unit model on the client threads: making units and circuits, the one
 * routine that releases a freed unit, the unit start, stop and priority calls
 * (engine/vx_make.cpp), port lookup by token and connection upkeep (engine/vx_ports.cpp,
 * engine/vx_connect.cpp).
 */
#ifndef VX_MAKE_H
#define VX_MAKE_H

#include "vx_bridge.h"
#include "vx_model.h"

/* ---- Units and circuits ------------------------------------------------------------ */
/* The release of a unit whose last hold is gone: a circuit lets its members go, every port
 * is disconnected and its queued regions and table released, the term function runs. */
int32_t VexaF_ReleaseUnit(VexaContext *context, VexaUnit *unit);

/* ---- Ports by token and connections ------------------------------------------------ */
/* Validates a unit token and finds its port by ID among the kinds kindMask allows. */
int32_t VexaF_FindHashedPortInfo(VexaContext *context, int32_t unitToken, uint32_t portID,
                                 uint8_t kindMask, VexaUnit **outUnit,
                                 const PortInfo **outPortInfo);
/* The same, and the part index checked against the port's parts (-96). */
int32_t VexaF_FindPortPart(VexaContext *context, int32_t unitToken, uint32_t portID,
                           uint8_t kinds, int32_t part, VexaUnit **outUnit,
                           const PortInfo **outPort);
int32_t VexaF_DisconnectAllPorts(VexaContext *context, VexaUnit *unit);

#endif /* VX_MAKE_H */
