package com.quorbit.velto;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;

/** A context initialised and started in no-device mode at 44100 frames per second. */
abstract class EngineFixture {
    static final int NO_DEVICE = 0x04;
    static final double FRAME_RATE = 44100.0;

    /* Result codes. */
    static final int OUT_OF_RANGE = -84;
    static final int INTERNAL_1 = -79;
    static final int INVALID_CONTEXT = -63;
    static final int INVALID_TOKEN = -98;
    static final int EMPTY_CIRCUIT = -64;
    static final int INVALID_DEVICE = -61;

    int ctx;

    @BeforeEach
    void startEngine() {
        ctx = Vexa.createContext();
        assertTrue(ctx > 0, "createContext handle " + ctx);
        assertEquals(0, Vexa.initialize(ctx));
        assertEquals(0, Vexa.start(ctx, NO_DEVICE, FRAME_RATE));
    }

    @AfterEach
    void stopEngine() {
        if (ctx == 0) return;
        assertEquals(0, Vexa.stop(ctx));
        assertEquals(0, Vexa.terminate(ctx), "allocations left after terminate");
        Vexa.deleteContext(ctx);
        assertEquals(INVALID_CONTEXT, Vexa.getTickCount(ctx));
        ctx = 0;
    }

    int unit(int typeID) {
        int token = Vexa.createUnit(ctx, typeID, 0, 0);
        assertTrue(token > 0, "createUnit(" + Integer.toHexString(typeID) + ") gave " + token);
        return token;
    }
}
