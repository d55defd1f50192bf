/*
 * consumer.c - an outside program built against an installed Velto: it renders half a second
 * of a 1 kHz sine through a LineOut offline and checks what came out.
 *
 * Exit code 0 when the library answered as expected; the reason is printed otherwise.
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <velto.h>
#include <velto_units.h>

#define TICKS 345 /* 0.5 s at 44100 frames per second */

static int fail(const char *what, int32_t code) {
    fprintf(stderr, "%s: %d (%s)\n", what, code, Vexa_ErrorCodeToText(code));
    return 1;
}

int main(void) {
    if (Vexa_GetVersion() != 142) return fail("Vexa_GetVersion", Vexa_GetVersion());
    VexaContext *ctx = Vexa_CreateContext();
    if (ctx == NULL) return fail("Vexa_CreateContext", 0);
    int32_t r = Vexa_Initialize(ctx);
    if (r < 0) return fail("Vexa_Initialize", r);
    r = Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, 0, 2);
    if (r < 0) return fail("Vexa_StartDevices", r);

    int32_t osc = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
    int32_t out = Vexa_CreateUnit(ctx, VEXA_UNIT_LINE_OUT, 0, 0);
    if (osc < 0 || out < 0) return fail("Vexa_CreateUnit", osc < 0 ? osc : out);
    if ((r = Vexa_SetPort(ctx, osc, VEXA_PORT_FREQUENCY, 0, 1000.0)) < 0 ||
        (r = Vexa_SetPort(ctx, osc, VEXA_PORT_AMPLITUDE, 0, 0.5)) < 0 ||
        (r = Vexa_ConnectUnits(ctx, osc, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 0)) < 0 ||
        (r = Vexa_ConnectUnits(ctx, osc, VEXA_PORT_OUTPUT, 0, out, VEXA_PORT_INPUT, 1)) < 0 ||
        (r = Vexa_StartUnit(ctx, osc)) < 0 || (r = Vexa_StartUnit(ctx, out)) < 0)
        return fail("building the network", r);

    float *buffer = calloc((size_t)TICKS * 64 * 2, sizeof(float));
    if (buffer == NULL) return fail("calloc", 0);
    r = Vexa_RenderTicks(ctx, NULL, buffer, TICKS);
    if (r < 0) return fail("Vexa_RenderTicks", r);

    /* Both channels carry the same sine: peak 0.5, mean square 0.125, about 1000 crossings a
     * second upwards through zero. */
    double peak = 0.0, squares = 0.0;
    int crossings = 0, mismatches = 0;
    const int frames = TICKS * 64;
    for (int i = 0; i < frames; i++) {
        float left = buffer[2 * i], right = buffer[2 * i + 1];
        if (left != right) mismatches++;
        if (fabs(left) > peak) peak = fabs(left);
        squares += (double)left * left;
        if (i > 0 && buffer[2 * (i - 1)] < 0.0f && left >= 0.0f) crossings++;
    }
    free(buffer);
    const double meanSquare = squares / frames;
    printf("peak %.4f, mean square %.4f, %d upward crossings, %d channel mismatches\n", peak,
           meanSquare, crossings, mismatches);
    int ok = mismatches == 0 && fabs(peak - 0.5) < 0.01 && fabs(meanSquare - 0.125) < 0.005 &&
             crossings >= 495 && crossings <= 505;

    r = Vexa_Terminate(ctx);
    if (r != 0) return fail("Vexa_Terminate (allocations left)", r);
    Vexa_DeleteContext(ctx);
    if (!ok) {
        fprintf(stderr, "the rendered signal is not the expected sine\n");
        return 1;
    }
    printf("installed Velto %d works\n", Vexa_GetVersion());
    return 0;
}
