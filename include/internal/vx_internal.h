/*
 * vx_internal.h - every internal layer at once, for the tests and tools that reach inside the
 * engine (through the velto_internal target). The library's own sources include only the
 * layer headers they need.
 */
#ifndef VX_INTERNAL_H
#define VX_INTERNAL_H

#include "vx_base.h"
#include "vx_bridge.h"
#include "vx_context.h"
#include "vx_data.h"
#include "vx_host.h"
#include "vx_make.h"
#include "vx_model.h"
#include "vx_records.h"
#include "vx_synth.h"
#include "vx_things.h"

#endif /* VX_INTERNAL_H */
