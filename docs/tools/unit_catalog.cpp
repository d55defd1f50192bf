/*
 * unit_catalog.cpp - writes the catalogue of unit types (docs/units.md) from the engine's own
 * descriptors: every type with its type ID and init argument, and every port with its ID,
 * kind, signal type, parts and default. A test compares its output with the committed file,
 * so the guide's table always tells what the library really holds.
 *
 *   velto_unit_catalog > docs/units.md
 */
#include <cstdio>
#include <string>

#include "vx_internal.h"
#include "vx_catalog.h"
#include "vx_unit.h"

namespace {

struct Named {
    uint32_t id;
    const char *name;
};

/* The port labels; a port ID without a label is shown by its number alone. */
const Named kPortNames[] = {
    {PORTID_INPUT, "Input"},           {PORTID_INPUT_A, "InputA"},
    {PORTID_INPUT_B, "InputB"},        {PORTID_INPUT_C, "InputC"},
    {PORTID_OUTPUT, "Output"},         {PORTID_SELECT, "Select"},
    {PORTID_GATE, "Gate"},             {PORTID_FADE, "Fade"},
    {PORTID_PAN, "Pan"},               {PORTID_SET_LEVEL, "SetLevel"},
    {PORTID_RESET_LEVEL, "ResetLevel"}, {PORTID_SET_TRIGGER, "SetTrigger"},
    {PORTID_LOWER_LIMIT, "LowerLimit"}, {PORTID_UPPER_LIMIT, "UpperLimit"},
    {PORTID_FREQUENCY, "Frequency"},   {PORTID_AMPLITUDE, "Amplitude"},
    {PORTID_PHASE, "Phase"},           {PORTID_WIDTH, "Width"},
    {PORTID_Q, "Q"},                   {PORTID_GAIN, "Gain"},
    {PORTID_SLOPE, "Slope"},           {PORTID_A0, "A0"},
    {PORTID_A1, "A1"},                 {PORTID_A2, "A2"},
    {PORTID_B1, "B1"},                 {PORTID_B2, "B2"},
    {PORTID_HALF_LIFE, "HalfLife"},    {PORTID_CURRENT, "Current"},
    {PORTID_TIME, "Time"},             {PORTID_DELAY, "Delay"},
    {PORTID_PERIOD, "Period"},         {PORTID_CONFIDENCE, "Confidence"},
    {PORTID_RESONANCE, "Resonance"},   {PORTID_LOW_PASS, "LowPass"},
    {PORTID_BAND_PASS, "BandPass"},    {PORTID_HIGH_PASS, "HighPass"},
    {PORTID_STIFFNESS, "Stiffness"},   {PORTID_DAMPING, "Damping"},
    {PORTID_BUS_INPUT, "BusInput"},    {PORTID_BUS_OUTPUT, "BusOutput"},
    {PORTID_DATA, "Data"},             {PORTID_RATE, "Rate"},
    {PORTID_TABLE, "Table"},           {PORTID_BUSY_INPUT, "BusyInput"},
    {PORTID_START_PULSE, "StartPulse"},
};

const char *PortName(uint32_t id) {
    for (const Named &n : kPortNames)
        if (n.id == id) return n.name;
    return "";
}

const char *KindName(uint8_t kind) {
    switch (kind) {
    case PORT_INPUT: return "input";
    case PORT_OUTPUT: return "output";
    case PORT_VARIABLE: return "variable";
    case PORT_QUEUE: return "queue";
    case PORT_TABLE: return "table";
    case PORT_BUS_INPUT: return "bus input";
    case PORT_BUS_OUTPUT: return "bus output";
    default: return "?";
    }
}

const char *SignalName(uint8_t type) {
    static const char *const kNames[] = {"signed", "unsigned",  "frequency",     "sample rate",
                                         "half-life", "time",   "SVF frequency", "raw"};
    return type < 8 ? kNames[type] : "?";
}

std::string Default(const PortInfo &port) {
    char text[64];
    if (port.portKind == PORT_QUEUE) {
        snprintf(text, sizeof text, "%g channel%s per frame", port.defaultValue,
                 port.defaultValue == 1.0f ? "" : "s");
        return text;
    }
    if (port.defaultMask == 0) return "";
    if (port.defaultValue == 32767.0f / 32768.0f)
        snprintf(text, sizeof text, "32767/32768");
    else
        snprintf(text, sizeof text, "%.9g", port.defaultValue);
    std::string when = (port.defaultMask & DEFAULT_AT_CREATION) ? " at creation" : "";
    if (port.defaultMask & DEFAULT_AT_START) when += when.empty() ? " at every start" : ", start";
    return text + when;
}

const char *InitArgument(const char *name) {
    const std::string type = name;
    if (type == "LineOut" || type == "ChannelOut" || type == "LineIn" || type == "ChannelIn")
        return "device channel of part 0 (0..16)";
    if (type == "Delay" || type == "DelayInterp") return "delay line length in frames (>= 1)";
    return "";
}

void Type(const char *name, UnitInfo *(*load)()) {
    const UnitInfo *info = load != nullptr ? load() : nullptr;
    if (info == nullptr) {
        printf("| %s | (not built) | | | | | | |\n", name);
        return;
    }
    const char *init = InitArgument(name);
    for (int p = 0; p < info->numPorts; p++) {
        const PortInfo &port = info->ports[p];
        char type[96] = "", id[16];
        if (p == 0) snprintf(type, sizeof type, "**%s** `0x%08x`", name, info->typeID);
        snprintf(id, sizeof id, "`0x%08x`", port.portID);
        printf("| %s | %s | %s | %s | %s | %d | %s | %s |\n", type, PortName(port.portID), id,
               KindName(port.portKind), SignalName(port.signalType), port.numParts,
               Default(port).c_str(), p == 0 ? init : "");
    }
}

} // namespace

int main() {
    printf("# Unit catalogue\n\n"
           "Written by `docs/tools/unit_catalog.cpp` from the library's own descriptors (a test\n"
           "checks that this file matches them). Create a unit with\n"
           "`Vexa_CreateUnit(ctx, typeID, 0, initArgument)` and address its ports by port ID\n"
           "and part. Kinds: an *input* can be set or connected from an output, a *variable* can\n"
           "be set, an *output* feeds inputs, a *queue* plays queued sample or envelope\n"
           "regions, a *table* holds a table (`Vexa_UseTable`), *bus* ports sum into a bus. The\n"
           "signal type says how a set value is converted (see `velto.h`). Defaults are in the\n"
           "port's outside units and are applied when the unit is created (or started); ports\n"
           "without one start at 0.\n\n"
           "The oscillators' `Phase` variable (a phase in [-1, +1), one cycle = 2) is their\n"
           "phase state itself: each block reads it, advances it frame by frame in double\n"
           "precision and stores it back rounded to a 32-bit float at the end of the block.\n"
           "A phase read between blocks and set again continues exactly where the unit was.\n\n"
           "| Type | Port | Port ID | Kind | Signal | Parts | Default | Init argument |\n"
           "|---|---|---|---|---|---|---|---|\n");
#define VX_CATALOGUE_ROW(Name) Type(#Name, &VXU_Load##Name);
    VX_UNIT_CATALOGUE(VX_CATALOGUE_ROW)
#undef VX_CATALOGUE_ROW
    return 0;
}
