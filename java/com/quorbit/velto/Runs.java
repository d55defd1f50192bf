package com.quorbit.velto;

/* Starting, stopping and the priority of the things that run: units and circuits. */
final class Runs {
    private Runs() {}

    static void start(Thing thing) {
        int token = thing.live();
        thing.engine().check(Vexa.startUnit(thing.engine().handle(), token));
    }

    static void startAt(Thing thing, int tick) {
        int token = thing.live();
        thing.engine().check(Vexa.startUnitAt(thing.engine().handle(), tick, token));
    }

    static void stop(Thing thing) {
        int token = thing.live();
        thing.engine().check(Vexa.stopUnit(thing.engine().handle(), token));
    }

    static void stopAt(Thing thing, int tick) {
        int token = thing.live();
        thing.engine().check(Vexa.stopUnitAt(thing.engine().handle(), tick, token));
    }

    static void setPriority(Thing thing, int priority) {
        int token = thing.live();
        thing.engine().check(Vexa.setPriority(thing.engine().handle(), token, priority));
    }

    static int priority(Thing thing) {
        int token = thing.live();
        return thing.engine().check(Vexa.getPriority(thing.engine().handle(), token));
    }
}
