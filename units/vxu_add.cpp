/* Add: outputs the sum of its two inputs. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct AddUnit {
    VexaUnit unit;
    InputPort inputA;
    InputPort inputB;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT_A, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(AddUnit, inputA)},
    {.portID = PORTID_INPUT_B, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(AddUnit, inputB)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(AddUnit, output)},
};

/* The sum of two floats formed in double and rounded to float is the float sum itself (double
 * carries more than twice the bits of float, so the double rounding never differs), and the
 * float addition is shorter on the chain of Adds that a mix of many voices builds. Both
 * inputs are read whole before the output is written, as frame by frame (an input may be
 * this unit's own output). */
template <int Level> VX_ALWAYS_INLINE void AddBlock(VexaContext *, VexaUnit *unit) {
    AddUnit *self = vx_self<AddUnit>(unit);
    const VxBlockF a = vx_load_block(vx_in(self->inputA));
    const VxBlockF b = vx_load_block(vx_in(self->inputB));
    vx_store_block(self->output.values, a + b);
}

VX_UNIT_FUNCTION_BUILDS(AddBlock)

/* Groups run the block of each unit in turn, in one call. */
VX_GROUP_OF_BLOCKS(AddBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x01b7611d,
                  .name = "Add",
                  .instanceSize = sizeof(AddUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadAdd() {
    kInfo.groupFunc = PickGroupFunction();
    kInfo.unitFunc = PickUnitFunction();
    return &kInfo;
}
