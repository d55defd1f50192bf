/* TableLookup: maps its input from -1 ... +1 onto the attached table (a waveshaper or
 * transfer function), interpolating linearly between neighbouring values. */
#include "vx_unit.h"

namespace {
struct TableLookupUnit {
    VexaUnit unit;
    InputPort input;
    TablePort table;
    InputPort amplitude;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(TableLookupUnit, input)},
    {.portID = PORTID_TABLE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_TABLE,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(TableLookupUnit, table)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(TableLookupUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(TableLookupUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    TableLookupUnit *self = vx_self<TableLookupUnit>(unit);
    /* The table and its halfRange are swapped together by the back end; read them once. */
    const VexaDataThing *table = reinterpret_cast<const VexaDataThing *>(self->table.table);
    if (table == nullptr) return; /* no table: the outputs keep their values */
    const double halfRange = self->table.halfRange;
    const float *values = static_cast<const float *>(table->vxt_Data);
    const uint32_t last = table->vxt_NumFrames - 1;
    const float *in = vx_in(self->input);
    const float *amplitude = vx_in(self->amplitude);
    float *out = self->output.values;
    for (int i = 0; i < 8; i++) {
        double x = in[i];
        if (x < -1.0) {
            x = -1.0;
        } else if (x > 1.0) {
            x = 1.0;
        }
        const double position = (x + 1.0) * halfRange;
        /* Truncation toward zero; an input that is not a number reads the first value and
         * no index ever lies beyond the table. */
        uint32_t n = position >= 0.0 ? static_cast<uint32_t>(position) : 0;
        if (n > last) n = last;
        const double fraction = position - n;
        const double v0 = vx_load_float(values[n]);
        double v = v0;
        if (n < last) v = v0 + fraction * (vx_load_float(values[n + 1]) - v0);
        out[i] = static_cast<float>(v * amplitude[i]);
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0176d52a,
                  .name = "TableLookup",
                  .instanceSize = sizeof(TableLookupUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadTableLookup() { return &kInfo; }
