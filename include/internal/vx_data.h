/*
 * vx_data.h - the data objects on the client threads: samples (data/vx_samps.cpp),
 * envelopes (data/vx_env.cpp), tables (data/vx_table.cpp) and the queue calls
 * (data/vx_queue.cpp).
 */
#ifndef VX_DATA_H
#define VX_DATA_H

#include "vx_make.h"

int32_t VexaF_ReadWriteSample(VexaContext *context, int32_t sampleToken, uint32_t startFrame,
                              uint32_t numFrames, void *buffer, uint32_t maxBytes,
                              int32_t dataType, int32_t write);
int32_t VexaF_WriteTable(VexaContext *context, int32_t tableToken, uint32_t startFrame,
                         uint32_t numFrames, const void *buffer, uint32_t maxBytes,
                         int32_t doubles);

#endif /* VX_DATA_H */
