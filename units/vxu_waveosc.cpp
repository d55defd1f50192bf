/* WaveOscillator: runs the oscillators' phase accumulator through the attached table, read
 * as one cycle from position -1 to +1 with linear interpolation. */
#include "vx_phase.h"
#include "vx_unit.h"

namespace {
struct WaveOscillatorUnit {
    VexaUnit unit;
    InputPort frequency;
    TablePort table;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(WaveOscillatorUnit, frequency)},
    {.portID = PORTID_TABLE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_TABLE,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(WaveOscillatorUnit, table)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(WaveOscillatorUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(WaveOscillatorUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(WaveOscillatorUnit, output)},
};

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    WaveOscillatorUnit *self = vx_self<WaveOscillatorUnit>(unit);
    /* The table and its halfRange are swapped together by the back end; read them once. */
    const VexaDataThing *table = reinterpret_cast<const VexaDataThing *>(self->table.table);
    if (table == nullptr) return; /* no table: outputs and Phase stay as they are */
    const double halfRange = self->table.halfRange;
    const float *values = static_cast<const float *>(table->vxt_Data);
    const uint32_t last = table->vxt_NumFrames - 1;
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;

    VxPhaseBlock block;
    const double phase = vx_advance_phase(context, vx_load_float(self->phase.value),
                                          vx_in(self->frequency), block);
    for (int i = 0; i < 8; i++) {
        const double position = (block.phase[i] + 1.0) * halfRange;
        /* Truncation toward zero, within the table: at or beyond the last value (floating-point
         * error at the top of the cycle, or a Phase set far outside -1 .. +1 through signal type
         * RAW, an infinity) the last value is read, below 0 or NaN the first, so that no
         * conversion is out of range and no index lies beyond the table. */
        uint32_t n = 0;
        if (position >= last) {
            n = last;
        } else if (position >= 0.0) {
            n = static_cast<uint32_t>(position);
        }
        const double fraction = position - n;
        const double v0 = vx_load_float(values[n]);
        double v = v0;
        if (n < last) v = v0 + fraction * (vx_load_float(values[n + 1]) - v0);
        out[i] = static_cast<float>(v * amplitude[i]);
    }
    vx_store_float(self->phase.value, static_cast<float>(phase));
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01bea1cf,
                  .name = "WaveOscillator",
                  .instanceSize = sizeof(WaveOscillatorUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadWaveOscillator() { return &kInfo; }
