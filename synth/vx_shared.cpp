/*
 * vx_shared.cpp - the unit model used by both sides of the engine: port record access, port
 * defaults, a port's descriptor by ID and the signal conversions.
 */
#include <cmath>

#include "vx_model.h"

namespace {
template <typename Record>
inline Record *PortRecord(VexaUnit *unit, const PortInfo *portInfo, int32_t part) {
    return reinterpret_cast<Record *>(reinterpret_cast<uint8_t *>(unit) + portInfo->offset +
                                      static_cast<size_t>(part) * sizeof(Record));
}

/* Frame rate and period used for conversions. A unit created before the first start sees
 * no frame rate yet; its values are then converted at the default rate instead of
 * dividing by zero. */
inline void ConversionRate(const VexaContext *context, double *frameRate, double *period) {
    double rate = context->vxb_FrameRate;
    if (rate > 0.0) {
        *frameRate = rate;
        *period = context->vxb_FramePeriod;
    } else {
        *frameRate = 44100.0;
        *period = 1.0 / 44100.0;
    }
}
} // namespace

InputPort *VexaS_GetInput(VexaUnit *unit, const PortInfo *portInfo, int32_t part) {
    return PortRecord<InputPort>(unit, portInfo, part);
}

OutputPort *VexaS_GetOutput(VexaUnit *unit, const PortInfo *portInfo, int32_t part) {
    return PortRecord<OutputPort>(unit, portInfo, part);
}

VariablePort *VexaS_GetVariable(VexaUnit *unit, const PortInfo *portInfo, int32_t part) {
    return PortRecord<VariablePort>(unit, portInfo, part);
}

BusInputPort *VexaS_GetBusInput(VexaUnit *unit, const PortInfo *portInfo, int32_t part) {
    return PortRecord<BusInputPort>(unit, portInfo, part);
}

BusOutputPort *VexaS_GetBusOutput(VexaUnit *unit, const PortInfo *portInfo, int32_t part) {
    return PortRecord<BusOutputPort>(unit, portInfo, part);
}

QueuePort *VexaS_GetQueue(VexaUnit *unit, const PortInfo *portInfo) {
    return PortRecord<QueuePort>(unit, portInfo, 0);
}

TablePort *VexaS_GetTable(VexaUnit *unit, const PortInfo *portInfo) {
    return PortRecord<TablePort>(unit, portInfo, 0);
}

namespace {
int32_t VexaS_SetCircuitListDefaults(VexaContext *context, DLLNode *list, uint8_t mask) {
    for (DLLNode *node = list->next; node != list; node = node->next) {
        int32_t result =
            VexaS_SetUnitPortDefaults(context, reinterpret_cast<VexaUnit *>(node), mask);
        if (result < 0) return result;
    }
    return 0;
}
} // namespace

int32_t VexaS_SetUnitPortDefaults(VexaContext *context, VexaUnit *unit, uint8_t mask) {
    if (unit->isCircuit) {
        VexaCircuit *circuit = reinterpret_cast<VexaCircuit *>(unit);
        return VexaS_SetCircuitListDefaults(context, &circuit->audioMembers, mask);
    }
    const UnitInfo *info = unit->descriptor;
    for (int32_t i = 0; i < info->numPorts; i++) {
        const PortInfo *port = &info->ports[i];
        if ((port->defaultMask & mask) == 0) continue;
        if ((port->portKind & (PORT_INPUT | PORT_OUTPUT | PORT_VARIABLE)) == 0) continue;
        float native = 0.0f;
        int32_t result = VexaS_ConvertSignalToNative(context, port->signalType, unit->rate,
                                                     port->defaultValue, &native);
        if (result < 0) return result;
        for (int32_t part = 0; part < port->numParts; part++) {
            if (port->portKind & PORT_INPUT) {
                float *values = VexaS_GetInput(unit, port, part)->values;
                for (int i = 0; i < 8; i++) vx_store_float(values[i], native);
            } else if (port->portKind & PORT_OUTPUT) {
                float *values = VexaS_GetOutput(unit, port, part)->values;
                for (int i = 0; i < 8; i++) vx_store_float(values[i], native);
            } else {
                vx_store_float(VexaS_GetVariable(unit, port, part)->value, native);
            }
        }
    }
    return 0;
}

int32_t VexaS_FindPortInfo(const VexaUnit *unit, uint32_t portID, uint8_t kindMask,
                           const PortInfo **outPortInfo) {
    const UnitInfo *info = unit->descriptor;
    for (int32_t i = 0; i < info->numPorts; i++) {
        const PortInfo *port = &info->ports[i];
        if (port->portID != portID) continue;
        if ((port->portKind & kindMask) == 0) return VXERR_INVALID_PORT_TYPE;
        *outPortInfo = port;
        return 0;
    }
    return VXERR_NOT_FOUND;
}

int32_t VexaS_ConvertSignalToNative(VexaContext *context, uint8_t signalType, uint8_t rate,
                                    float value, float *outNative) {
    const double v = value;
    double native;
    switch (signalType) {
    case VEXA_SIGNAL_SIGNED:
        /* Comparisons let a value that is not a number through unchanged. */
        native = v < -1.0 ? -1.0 : (v > 1.0 ? 1.0 : v);
        break;
    case VEXA_SIGNAL_UNSIGNED:
        native = v < 0.0 ? 0.0 : (v > 2.0 ? 2.0 : v);
        break;
    case VEXA_SIGNAL_FREQUENCY:
    case VEXA_SIGNAL_SAMPLE_RATE:
    case VEXA_SIGNAL_RAW:
        native = v;
        break;
    case VEXA_SIGNAL_HALF_LIFE: {
        double fs, period;
        ConversionRate(context, &fs, &period);
        native = (v < 2.0 * period) ? 1.0 : 1.0 - std::pow(0.5, 1.0 / (v * fs));
        break;
    }
    case VEXA_SIGNAL_TIME: {
        double fs, period;
        ConversionRate(context, &fs, &period);
        if (v < 2.0 * period)
            native = 1.0;
        else
            native = (rate == RATE_AUDIO ? 1.0 : 8.0) / (v * fs);
        break;
    }
    case VEXA_SIGNAL_SVF_FREQUENCY: {
        double fs, period;
        ConversionRate(context, &fs, &period);
        const double pi = static_cast<double>(3.1415927f);
        if (rate == RATE_AUDIO)
            native = 2.0 * std::sin(pi * v * period);
        else
            native = 2.0 * std::sin(8.0 * pi * v * period);
        break;
    }
    default:
        return VXERR_INVALID_SIGNAL_TYPE;
    }
    *outNative = static_cast<float>(native);
    return 0;
}

int32_t VexaS_ConvertFP_16_ClipS(float value) {
    const double scaled = static_cast<double>(value) * 32768.0 + 0.5;
    /* Limit before converting so that huge values and NaN never reach an undefined
     * conversion; NaN gives silence. */
    if (!(scaled == scaled)) return 0;
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    return static_cast<int32_t>(scaled); /* truncates toward zero */
}
