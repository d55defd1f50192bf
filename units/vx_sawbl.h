/*
 * vx_sawbl.h - the band-limited multiwave table set of a context (units/vx_sawbl.cpp): built
 * when the back end is set up, read by the band-limited oscillators.
 */
#ifndef VX_SAWBL_H
#define VX_SAWBL_H

#include "vx_model.h"

int32_t VX_SawBL_Init(VexaContext *context, SawMultiTables *set);
int32_t CreateMultiWaveSawtooth(VexaContext *context, SawMultiTables *set,
                                int32_t numberOfTables, int32_t cycleLength);
float NormalizeArray(float *values, int32_t count);
int32_t VX_SawBL_Term(VexaContext *context, SawMultiTables *set);
float VX_SawBL_PhaseIncToLevel(float increment);
float VX_SawBL_CalculateSawtooth(const SawMultiTables *set, float phase, float increment,
                                 float level);

#endif /* VX_SAWBL_H */
