/*
 * unit_catalog.cpp - writes what the library's unit descriptors say, in three forms: the
 * catalogue of the guide (docs/units.md: every type with its type ID and init argument, every
 * port with its ID, kind, signal type, parts and default), the public header of names
 * (include/velto_units.h: VEXA_UNIT_* and VEXA_PORT_*), and the Java classes of the object API
 * (one class per unit type, a field per port, and Ids.java). Tests compare each output with the
 * committed files, so none of them can drift from what the library really holds.
 *
 *   velto_unit_catalog            > docs/units.md
 *   velto_unit_catalog --header   > include/velto_units.h
 *   velto_unit_catalog --java DIR   (writes DIR/<Type>.java for every type and DIR/Ids.java)
 *   velto_unit_catalog --java-list  (the names of the Java files, one per line)
 */
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "vx_internal.h"
#include "vx_catalog.h"
#include "vx_unit.h"

namespace {

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

/* The types in the catalogue's order. */
std::vector<const UnitInfo *> Types() {
    std::vector<const UnitInfo *> types;
#define VX_CATALOGUE_TYPE(Name) types.push_back(VXU_Load##Name());
    VX_UNIT_CATALOGUE(VX_CATALOGUE_TYPE)
#undef VX_CATALOGUE_TYPE
    return types;
}

/* Every port role, in the order of its table. */
struct Role {
    const char *upper, *name;
    uint32_t id;
};
const Role kRoles[] = {
#define VX_ROLE_ENTRY(Upper, Name, Id) {#Upper, #Name, Id},
    VX_PORT_ROLES(VX_ROLE_ENTRY)
#undef VX_ROLE_ENTRY
};

/* "SawtoothOscillatorBL" -> {"Sawtooth", "Oscillator", "BL"}: a word starts at a capital that
 * follows a small letter or a digit, or that is followed by a small letter after a capital. */
std::vector<std::string> SplitWords(const std::string &name) {
    auto is_upper = [](char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; };
    auto is_lower = [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; };
    auto is_digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    std::vector<std::string> words;
    for (size_t i = 0; i < name.size(); i++) {
        const bool starts =
            i == 0 || (is_upper(name[i]) &&
                       (is_lower(name[i - 1]) || is_digit(name[i - 1]) ||
                        (is_upper(name[i - 1]) && i + 1 < name.size() && is_lower(name[i + 1]))));
        if (starts) words.emplace_back();
        words.back() += name[i];
    }
    return words;
}

/* "SawtoothOscillatorBL" -> "SAWTOOTH_OSCILLATOR_BL". */
std::string UpperSnake(const std::string &name) {
    std::string out;
    for (const std::string &word : SplitWords(name)) {
        if (!out.empty()) out += '_';
        for (char c : word) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

/* "SawtoothOscillatorBL" -> "sawtooth oscillator BL", for the Javadoc sentences. */
std::string Words(const std::string &name) {
    std::string out;
    for (std::string word : SplitWords(name)) {
        const bool acronym =
            word.size() > 1 && std::isupper(static_cast<unsigned char>(word[1])) != 0;
        if (!acronym) word[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(word[0])));
        if (!out.empty()) out += ' ';
        out += word;
    }
    return out;
}

/* "InputA" -> "inputA", "A0" -> "a0", "BusInput" -> "busInput". */
std::string LowerCamel(const std::string &name) {
    std::string out = name;
    if (!out.empty()) out[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[0])));
    return out;
}

/* ---- docs/units.md ---------------------------------------------------------------------- */

void MarkdownType(const UnitInfo *info) {
    for (int p = 0; p < info->numPorts; p++) {
        const PortInfo &port = info->ports[p];
        char type[96] = "", id[16];
        if (p == 0) snprintf(type, sizeof type, "**%s** `0x%08x`", info->name, info->typeID);
        snprintf(id, sizeof id, "`0x%08x`", port.portID);
        printf("| %s | %s | %s | %s | %s | %d | %s | %s |\n", type, vx_port_name(port.portID), id,
               KindName(port.portKind), SignalName(port.signalType), port.numParts,
               Default(port).c_str(), p == 0 ? info->initArgument : "");
    }
}

/* ---- include/velto_units.h ------------------------------------------------------------ */

/* The roles that some port of some type has, in the roles' table order. */
std::vector<Role> UsedRoles() {
    std::vector<Role> used;
    for (const Role &role : kRoles) {
        bool found = false;
        for (const UnitInfo *info : Types())
            for (int p = 0; p < info->numPorts && !found; p++)
                found = info->ports[p].portID == role.id;
        if (found) used.push_back(role);
    }
    return used;
}

void Header() {
    printf("/*\n"
           " * velto_units.h - names for the unit types and port IDs of the Velto synthesis\n"
           " * engine, for use with velto.h:\n"
           " *\n"
           " *   int32_t osc = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);\n"
           " *   Vexa_SetPort(ctx, osc, VEXA_PORT_FREQUENCY, 0, 440.0);\n"
           " *\n"
           " * Written by docs/tools/unit_catalog.cpp from the library's own descriptors (a test\n"
           " * checks that this file matches them); docs/units.md tells which ports each type has.\n"
           " */\n"
           "#ifndef VELTO_UNITS_H\n"
           "#define VELTO_UNITS_H\n\n"
           "/* Unit type IDs (the typeID of Vexa_CreateUnit). */\n");
    std::vector<std::pair<std::string, const UnitInfo *>> byName;
    for (const UnitInfo *info : Types()) byName.emplace_back(info->name, info);
    std::sort(byName.begin(), byName.end());
    for (const auto &[name, info] : byName)
        printf("#define VEXA_UNIT_%-28s 0x%08xu\n", UpperSnake(name).c_str(), info->typeID);
    printf("\n/* Port IDs (the portID of the port calls; a port's meaning depends on its type). */\n");
    for (const Role &role : UsedRoles()) printf("#define VEXA_PORT_%-20s 0x%08xu\n", role.upper, role.id);
    printf("\n#endif /* VELTO_UNITS_H */\n");
}

/* ---- the Java classes ------------------------------------------------------------------- */

const char *JavaPortClass(uint8_t kind) {
    switch (kind) {
    case PORT_INPUT: return "InputPort";
    case PORT_OUTPUT: return "OutputPort";
    case PORT_VARIABLE: return "VariablePort";
    case PORT_QUEUE: return "QueuePort";
    case PORT_TABLE: return "TablePort";
    case PORT_BUS_INPUT: return "BusInputPort";
    case PORT_BUS_OUTPUT: return "BusOutputPort";
    default: return nullptr;
    }
}

bool WriteFile(const std::string &path, const std::string &text) {
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && ok;
}

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const char *kJavaNote = " * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.\n";

std::string JavaType(const UnitInfo *info) {
    const std::string name = info->name;
    std::string text = "package com.quorbit.velto;\n\n";
    const std::string words = Words(name);
    const bool vowel = std::string("aeiouAEIOU").find(words[0]) != std::string::npos;
    text += Format("/**\n * %s %s unit (type ID {@code 0x%08x}): one field per port; docs/units.md\n"
                   " * gives each port's signal type and default.\n *\n",
                   vowel ? "An" : "A", words.c_str(), info->typeID);
    text += kJavaNote;
    text += " */\n";
    text += Format("public final class %s extends Unit {\n", name.c_str());
    text += Format("    /** The type ID of this unit type. */\n"
                   "    public static final int TYPE_ID = Ids.UNIT_%s;\n",
                   UpperSnake(name).c_str());
    for (int p = 0; p < info->numPorts; p++) {
        const PortInfo &port = info->ports[p];
        const std::string role = vx_port_name(port.portID);
        std::string role_upper;
        for (const Role &r : kRoles)
            if (r.id == port.portID) role_upper = r.upper;
        const std::string def = Default(port);
        text += Format("\n    /** %s: %s, %s signal, %d part%s%s%s. */\n", role.c_str(),
                       KindName(port.portKind), SignalName(port.signalType), port.numParts,
                       port.numParts == 1 ? "" : "s", def.empty() ? "" : ", default ",
                       def.c_str());
        text += Format("    public final %s %s = new %s(this, Ids.PORT_%s, %d);\n",
                       JavaPortClass(port.portKind), LowerCamel(role).c_str(),
                       JavaPortClass(port.portKind), role_upper.c_str(), port.numParts);
    }
    if (info->initArgument[0] == '\0') {
        text += Format("\n    /**\n     * Creates a %s in the engine.\n     *\n"
                       "     * @param engine the engine that will own the unit\n"
                       "     * @throws VeltoException when the engine cannot create it\n     */\n"
                       "    public %s(Engine engine) {\n        super(engine, TYPE_ID, 0);\n    }\n",
                       Words(name).c_str(), name.c_str());
    } else {
        text += Format("\n    /**\n     * Creates a %s in the engine.\n     *\n"
                       "     * @param engine the engine that will own the unit\n"
                       "     * @param initArgument the %s\n"
                       "     * @throws VeltoException when the engine cannot create it\n     */\n"
                       "    public %s(Engine engine, int initArgument) {\n"
                       "        super(engine, TYPE_ID, initArgument);\n    }\n",
                       Words(name).c_str(), info->initArgument, name.c_str());
    }
    text += "}\n";
    return text;
}

std::string JavaIds() {
    std::string text = "package com.quorbit.velto;\n\n"
                       "/**\n * The unit type IDs and port IDs of the engine, as include/velto_units.h\n"
                       " * names them ({@code UNIT_*} for {@code VEXA_UNIT_*}, {@code PORT_*} for\n"
                       " * {@code VEXA_PORT_*}), for the calls of {@link Vexa}.\n *\n";
    text += kJavaNote;
    text += " */\npublic final class Ids {\n    private Ids() {}\n";
    std::vector<std::pair<std::string, const UnitInfo *>> byName;
    for (const UnitInfo *info : Types()) byName.emplace_back(info->name, info);
    std::sort(byName.begin(), byName.end());
    text += "\n    /* Unit type IDs. */\n";
    for (const auto &[name, info] : byName)
        text += Format("    /** The type ID of {@link %s}. */\n"
                       "    public static final int UNIT_%s = 0x%08x;\n",
                       name.c_str(), UpperSnake(name).c_str(), info->typeID);
    text += "\n    /* Port IDs. */\n";
    for (const Role &role : UsedRoles())
        text += Format("    /** The port ID of every {@code %s} port. */\n"
                       "    public static final int PORT_%s = 0x%08x;\n",
                       role.name, role.upper, role.id);
    text += "}\n";
    return text;
}

int Java(const char *dir) {
    for (const UnitInfo *info : Types())
        if (!WriteFile(std::string(dir) + "/" + info->name + ".java", JavaType(info))) return 1;
    return WriteFile(std::string(dir) + "/Ids.java", JavaIds()) ? 0 : 1;
}

void Markdown() {
    printf("# Unit catalogue\n\n"
           "Written by `docs/tools/unit_catalog.cpp` from the library's own descriptors (a test\n"
           "checks that this file matches them). Create a unit with\n"
           "`Vexa_CreateUnit(ctx, typeID, 0, initArgument)` and address its ports by port ID\n"
           "and part; `velto_units.h` names every type ID (`VEXA_UNIT_SINE_OSCILLATOR`) and port\n"
           "ID (`VEXA_PORT_FREQUENCY`), and the Java API has a class per type with a field per\n"
           "port. Kinds: an *input* can be set or connected from an output, a *variable* can\n"
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
    for (const UnitInfo *info : Types()) MarkdownType(info);
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 1) {
        Markdown();
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "--header") == 0) {
        Header();
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "--java-list") == 0) {
        for (const UnitInfo *info : Types()) printf("%s.java\n", info->name);
        printf("Ids.java\n");
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "--java") == 0) return Java(argv[2]);
    fprintf(stderr, "usage: %s [--header | --java DIR | --java-list]\n", argv[0]);
    return 2;
}
