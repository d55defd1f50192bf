/* MassSpring: a damped mass on a spring, pushed by its input. Each frame the spring pulls the
 * velocity back by position x Stiffness, damping removes velocity x Damping, the input is
 * added, and the position moves by the velocity; Output is the position. Amplitude is
 * declared for clients but does not scale the output. */
#include <cmath>

#include "vx_unit.h"

namespace {
struct MassSpringUnit {
    VexaUnit unit;
    InputPort input;
    InputPort stiffness;
    InputPort damping;
    InputPort amplitude;
    OutputPort output;
    float position;
    float velocity;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MassSpringUnit, input)},
    {.portID = PORTID_STIFFNESS, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MassSpringUnit, stiffness)},
    {.portID = PORTID_DAMPING, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MassSpringUnit, damping)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(MassSpringUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(MassSpringUnit, output)},
};

constexpr double kSmallestNormal = 1.17549435082228750797e-38; /* FLT_MIN */

void UnitFunction(VexaContext *, VexaUnit *unit) {
    MassSpringUnit *self = vx_self<MassSpringUnit>(unit);
    const float *in = vx_in(self->input);
    const float *stiffness = vx_in(self->stiffness);
    const float *damping = vx_in(self->damping);
    float *out = self->output.values;
    /* Position and velocity are carried in double through the block and rounded when stored. */
    double position = self->position;
    double velocity = self->velocity;
    for (int i = 0; i < 8; i++) {
        velocity = velocity - position * stiffness[i];
        velocity = velocity - velocity * damping[i] + in[i];
        position = position + velocity;
        /* Below the smallest normal float a value could only be stored as a denormal number:
         * it becomes 0, so that a spring left in silence settles instead of computing on
         * denormals (larger values are untouched). */
        if (std::fabs(position) < kSmallestNormal) position = 0.0;
        if (std::fabs(velocity) < kSmallestNormal) velocity = 0.0;
        out[i] = static_cast<float>(position);
    }
    self->position = static_cast<float>(position);
    self->velocity = static_cast<float>(velocity);
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x0534c2cf,
                  .name = "MassSpring",
                  .instanceSize = sizeof(MassSpringUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadMassSpring() { return &kInfo; }
