/*
 * vx_synth.h - the back end, on the audio thread (or the client thread that computes batches
 * in no-device mode): the batch and the run lists (synth/vx_task.cpp), the drain of the FIFO,
 * the event buffer and the execution of commands (synth/evntbufr.cpp), the data queues
 * (synth/vx_playqueue.cpp), and the back end's records: their setup, the release of things
 * and the back end's report (synth/vx_back4.cpp). The front end enters here only through the
 * batch entry, the drain of the FIFO and the set-up and teardown.
 */
#ifndef VX_SYNTH_H
#define VX_SYNTH_H

#include "vx_model.h"

/* ---- Entry from the front end ------------------------------------------------------ */
/* One tick: commands due, 8 blocks of the run lists, auto-stops. `load` is the device's CPU
 * load as its runner read it (0 without a device): an overloaded batch computes silence. */
int32_t VexaB_SynthesizeBatch(VexaContext *context, const float *inputBuffer,
                              float *outputBuffer, double load);
/* The back end's half of the bridge: takes in every entry of the FIFO. */
void VexaB_ProcessCommandsFromFront(VexaContext *context);
/* The back end's records: run lists, band-limited tables, event buffer. */
int32_t VexaS_Init(VexaContext *context);
int32_t VexaS_Term(VexaContext *context);

/* Turns the grouping of units of one type on or off (for tests and measurements); the next
 * batch plans again. */
void VexaF_SetGrouping(VexaContext *context, bool on);
/* Sets the units a part of the plan aims at (1 cuts every entry into a part of its own; 0
 * restores the plan's own size), for tests; the next batch plans again. */
void VexaF_SetPartUnits(VexaContext *context, int32_t units);

/* ---- The execution plan (synth/vx_plan.cpp) ---------------------------------------- */
int32_t VexaS_InitPlan(VexaContext *context);
void VexaS_TermPlan(VexaContext *context);
/* Plans again when a run list, a connection or a signal type changed (batch start). */
void VexaB_UpdatePlan(VexaContext *context);
/* Runs one block of a run list (0-2 audio priorities, 3-5 control) by its plan. */
void VexaB_RunList(VexaContext *context, int32_t list);
/* How many entries of the current plan run a group side by side (for tests). */
int32_t VexaS_PlannedGroups(const VexaContext *context);
/* How many parts the current plan's lists are cut into for the render threads (for tests). */
int32_t VexaS_PlannedParts(const VexaContext *context);
/* Takes the first part of [*lowest, end) that no thread took in the phase `epoch` and whose
 * predecessors are computed: its index, -1 when every untaken part still waits for a part
 * being computed, -2 when every part is taken. *lowest moves past the parts taken. */
int32_t VexaB_TakeReadyPart(VexaContext *context, int32_t end, uint32_t epoch, int32_t *lowest);
/* Computes one part of the plan in the phase `epoch`, after the parts it depends on. */
void VexaB_RunPlanPart(VexaContext *context, int32_t part, uint32_t epoch);

/* ---- Render threads (synth/vx_crew.cpp) -------------------------------------------- */
/* The workers' records, allocated with the back end's records; no thread runs yet. */
int32_t VexaS_InitCrew(VexaContext *context);
/* Ends every worker and frees the records. */
void VexaS_TermCrew(VexaContext *context);
/* Creates or ends workers until `count` run (client threads, under the lifecycle lock);
 * -89 when a thread could not be created (those made so far stay). */
int32_t VexaF_SetRenderWorkers(VexaContext *context, int32_t count);
/* Computes parts [first, end) of the plan with the workers: the batch's thread publishes
 * them, computes every part no worker took and waits for the others. */
void VexaB_RunPhase(VexaContext *context, int32_t first, int32_t end);
/* The epoch of the last phase published (0 before the first). */
uint32_t VexaB_LastPhase(const VexaContext *context);
/* Parts computed by workers since initialisation (for tests and measurements). */
uint64_t VexaS_WorkerParts(const VexaContext *context);
/* Spins until *flag reads `value` (a part computed by another thread). */
void VexaB_SpinUntil(const uint32_t *flag, uint32_t value);
/* Runs a list's units one by one in their order. */
int32_t VexaB_ExecUnitList(VexaContext *context, DLLNode *list);

/* ---- Release of things (synth/vx_back4.cpp) ---------------------------------------- */
void VXLL_UnReference(VexaContext *context, VexaThing *thing);
/* Sends a free spacer behind a thing that is the back-to-front list's last node. */
void VexaB_FollowReturnedThing(VexaContext *context);
/* Prints the number of running audio units (the back end's part of Vexa_Debug 1). */
void VexaB_Debug(VexaContext *context);

/* ---- Unit start and stop (synth/vx_task.cpp) --------------------------------------- */
int32_t VexaB_StartUnit(VexaContext *context, VexaUnit *unit);
int32_t VexaB_StopUnit(VexaContext *context, VexaUnit *unit);

/* ---- Event buffer and commands (synth/evntbufr.cpp) -------------------------------- */
int32_t EB_Init(EventBuffer *eventBuffer, int32_t startTime, VexaContext *context);
void EB_ScheduleNode(EventBuffer *eventBuffer, int32_t time, CommandNode *node);
void EB_ExecuteNodes(EventBuffer *eventBuffer, int32_t time);
void EB_Term(EventBuffer *eventBuffer);

/* ---- Data queues (synth/vx_playqueue.cpp) ------------------------------------------ */
void VexaB_QueueData(VexaContext *context, QueuePort *port, QueueNode *node);
void VexaB_ClearQueue(VexaContext *context, QueuePort *port);

#endif /* VX_SYNTH_H */
