/*
 * PeriodDetector: estimates the period, in frames, of a roughly periodic input and reports a
 * confidence with it. Each frame it looks for zero crossings (with hysteresis) and local
 * extrema and records them in a ring of feature records. Every new zero crossing starts a
 * search of the recent records for a spacing at which features of the same kind recur; a
 * candidate replaces the estimate only if it lies within 10 percent of the current period or
 * of the previous candidate and scores well enough. An accepted estimate is held for one
 * period, then its confidence decays slowly.
 */
#include "vx_pitchdet.h"

#include <cmath>

#include "vx_unit.h"

namespace {
/* Matching window around a candidate spacing. */
constexpr double kWindowLow = 0.95;
constexpr double kWindowHigh = 1.05;
/* Weight of the similarity to the current estimate in a candidate's score. */
constexpr double kSimilarityWeight = 0.4;
/* A candidate is accepted within this window of the period or of the last candidate... */
constexpr double kAcceptLow = 0.9;
constexpr double kAcceptHigh = 1.1;
/* ...and when it scores above this fraction of the current confidence. */
constexpr double kMinimumRelativeScore = 0.2;
/* An extremum is recorded only beyond this fraction of the opposite extremum. */
constexpr double kExtremumRatio = 0.9;
constexpr int32_t kMaxLookBack = 40;
constexpr int32_t kMaxPairs = 40;

constexpr float kStepScale = 10.0f;
constexpr float kConfidenceDecay = 0.999f;
constexpr float kHysteresis = 0.01f;
constexpr double kConfidenceFloor = 1.0e-20;

constexpr int32_t kRingMask = PD_NUM_RECORDS - 1;

int32_t Older(int32_t slot, int32_t count) { return (slot - count) & kRingMask; }

/* Distance from the older record b to the newer record a, in frames. The time stamps are
 * signed 16-bit values subtracted as integers, so a pair that straddles their wrap has a
 * negative distance. */
double Distance(const FeatureRecord &a, const FeatureRecord &b) {
    const double fractions = static_cast<double>(a.fraction) - static_cast<double>(b.fraction);
    return fractions + static_cast<double>(static_cast<int32_t>(a.time) - b.time);
}

/* The low 16 bits of the frame counter of the frame before the current one. */
int16_t TimeStamp(const PeriodDetectorState *state) {
    const uint32_t previousFrame = static_cast<uint32_t>(state->frameCounter) - 1u;
    return static_cast<int16_t>(static_cast<uint16_t>(previousFrame));
}

struct PeriodDetectorUnit {
    VexaUnit unit;
    InputPort input;
    OutputPort period;
    OutputPort confidence;
    PeriodDetectorState state;
};
static_assert(sizeof(PeriodDetectorUnit) < 65536, "the unit record must fit instanceSize");

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(PeriodDetectorUnit, input)},
    {.portID = PORTID_PERIOD, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(PeriodDetectorUnit, period)},
    {.portID = PORTID_CONFIDENCE, .defaultValue = 0.0f, .defaultMask = 0,
     .portKind = PORT_OUTPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(PeriodDetectorUnit, confidence)},
};

/* Scores the candidate spacing `dist` (the distance from the record at oldSlot to the newest
 * one): walks the records from the newest back to oldSlot, and for each pairs it with the
 * records of the same kind about `dist` older. Returns false when no pair was found. */
bool ScoreCandidate(const PeriodDetectorState *state, int32_t newest, int32_t oldSlot,
                    double dist, double *outAverage, double *outScore) {
    const FeatureRecord *records = state->records;
    double sumW = 0, sumWD = 0;
    int32_t pairs = 0, cycles = 0;
    int32_t j = oldSlot;
    for (int32_t a = newest; a != oldSlot; a = Older(a, 1)) {
        const FeatureRecord &recA = records[a];
        bool ranAround = false;
        while (Distance(recA, records[j]) < kWindowLow * dist) {
            j = Older(j, 1);
            if (j == newest) {
                ranAround = true;
                break;
            }
        }
        if (ranAround) break;
        cycles++;
        for (int32_t b = j;;) {
            const FeatureRecord &recB = records[b];
            const double d2 = Distance(recA, recB);
            /* Walking older, distances only grow until the walk crosses the wrap of the time
             * stamps (or meets a never-written slot once they are negative), where they turn
             * negative: such pairs match nothing. */
            if (!(d2 < kWindowHigh * dist) || d2 < 0 || pairs >= kMaxPairs) break;
            if (recB.type == recA.type) {
                const double w = static_cast<double>(recA.value) * recB.value;
                sumW += w;
                sumWD += w * d2;
                pairs++;
            }
            b = Older(b, 1);
            if (b == newest) break;
        }
        if (pairs >= kMaxPairs) break;
    }
    if (pairs == 0) return false;
    const double average = sumWD / sumW;
    *outAverage = average;
    *outScore = sumW / (average * cycles) +
                state->confidence * kSimilarityWeight * CalculateSimilarity(average, state->period);
    return true;
}

int32_t VXU_Init(VexaContext *context, VexaUnit *unit, int32_t) {
    PeriodDetectorInit(&vx_self<PeriodDetectorUnit>(unit)->state,
                       static_cast<float>(context->vxb_FrameRate));
    return 0;
}

void UnitFunction(VexaContext *, VexaUnit *unit) {
    PeriodDetectorUnit *self = vx_self<PeriodDetectorUnit>(unit);
    PeriodDetectorState *state = &self->state;
    const float *in = vx_in(self->input);
    float *period = self->period.values;
    float *confidence = self->confidence.values;
    for (int i = 0; i < 8; i++) {
        DetectPeriod(state, in[i]);
        period[i] = state->period;
        confidence[i] = state->weightedConfidence;
    }
}

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x057371f3,
                  .name = "PeriodDetector",
                  .instanceSize = sizeof(PeriodDetectorUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = VXU_Init,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadPeriodDetector() { return &kInfo; }

void PeriodDetectorInit(PeriodDetectorState *state, float frameRate) {
    *state = PeriodDetectorState{};
    state->period = 100.0f;
    state->lastCandidatePeriod = 100.0f;
    state->maximumPeriod = static_cast<float>(frameRate / 50.0);
    state->minimumPeriod = static_cast<float>(frameRate / 2400.0);
    state->hysteresis = kHysteresis;
}

double CalculateSimilarity(double a, double b) {
    const double ratio = (a - b) / (a + b);
    return 1 - ratio * ratio;
}

FeatureRecord *GetNextFeatureRecord(PeriodDetectorState *state) {
    FeatureRecord *record = &state->records[state->writeIndex];
    state->writeIndex = (state->writeIndex + 1) & kRingMask;
    if (state->recordCount < PD_NUM_RECORDS - 1) state->recordCount++;
    return record;
}

void MatchFeatures(PeriodDetectorState *state) {
    double bestPeriod = state->maximumPeriod;
    double bestScore = 0;
    if (state->recordCount <= 3) return;

    const int32_t newest = Older(state->writeIndex, 1);
    const FeatureRecord &recN = state->records[newest];
    int32_t lookBack = state->recordCount / 2;
    if (lookBack > kMaxLookBack) lookBack = kMaxLookBack;

    for (int32_t k = 1; k < lookBack; k++) {
        const int32_t oldSlot = Older(newest, k);
        const FeatureRecord &recO = state->records[oldSlot];
        const double dist = Distance(recN, recO);
        if (dist > state->maximumPeriod) break;
        if (recO.type != recN.type || !(dist > state->minimumPeriod)) continue;
        double average, score;
        if (ScoreCandidate(state, newest, oldSlot, dist, &average, &score) &&
            score > bestScore) {
            bestScore = score;
            bestPeriod = average;
        }
    }

    if (bestScore > 0) {
        const double period = state->period;
        const double last = state->lastCandidatePeriod;
        const bool nearPeriod =
            kAcceptLow * period < bestPeriod && bestPeriod < kAcceptHigh * period;
        const bool nearLast = kAcceptLow * last < bestPeriod && bestPeriod < kAcceptHigh * last;
        if ((nearPeriod || nearLast) && bestScore > kMinimumRelativeScore * state->confidence) {
            state->period = static_cast<float>(bestPeriod);
            /* Hold the new estimate for one period, the period as stored (a period too long
             * for the counter holds as long as the counter can). */
            state->holdCounter = state->period < 2147483647.0f
                                     ? static_cast<int32_t>(state->period)
                                     : 2147483647;
            state->confidence = static_cast<float>(bestScore);
            state->weightedConfidence = static_cast<float>(bestScore * bestPeriod);
        }
        state->lastCandidatePeriod = static_cast<float>(bestPeriod);
    }
}

void DetectPeriod(PeriodDetectorState *state, float x) {
    const double step = static_cast<double>(x) - state->previousInput;
    const double h = state->hysteresis;

    /* Zero crossings, with hysteresis. */
    bool crossed = false;
    uint32_t crossingType = FEATURE_UP_CROSSING;
    double v = 0;
    if (state->crossingState == 0) {
        v = x - h;
        if (v > 0) {
            state->crossingState = 1;
            crossed = true;
            crossingType = FEATURE_UP_CROSSING;
        }
    } else if (state->crossingState == 1) {
        v = x + h;
        if (v < 0) {
            state->crossingState = 0;
            crossed = true;
            crossingType = FEATURE_DOWN_CROSSING;
        }
    }
    if (crossed) {
        FeatureRecord *record = GetNextFeatureRecord(state);
        record->value = static_cast<float>(step * kStepScale);
        record->time = TimeStamp(state);
        record->fraction = static_cast<float>(1 - v / step); /* where the threshold was passed */
        record->type = crossingType;
        MatchFeatures(state);
    }

    /* Extrema: the direction changed. */
    if ((step < 0) != (state->previousStep < 0)) {
        uint32_t extremumType = FEATURE_MAXIMUM;
        bool record = false;
        if (step - state->previousStep > 0) {
            if (x < kExtremumRatio * state->lastMaximum) {
                state->lastMinimum = x;
                extremumType = FEATURE_MINIMUM;
                record = true;
            }
        } else if (x > kExtremumRatio * state->lastMinimum) {
            state->lastMaximum = x;
            extremumType = FEATURE_MAXIMUM;
            record = true;
        }
        if (record) {
            FeatureRecord *feature = GetNextFeatureRecord(state);
            feature->value = x;
            feature->time = TimeStamp(state);
            /* An extremum that lands exactly on 0 would get an infinite or undefined
             * fraction, and every distance measured from it would be meaningless. */
            const float fraction = static_cast<float>(1 - step / x);
            feature->fraction = std::isfinite(fraction) ? fraction : 0.0f;
            feature->type = extremumType;
        }
    }

    state->previousInput = x;
    state->frameCounter = static_cast<int32_t>(static_cast<uint32_t>(state->frameCounter) + 1u);
    state->previousStep = static_cast<float>(step);

    if (state->holdCounter > 0) {
        state->holdCounter--;
    } else {
        state->confidence =
            static_cast<float>(static_cast<double>(state->confidence) * kConfidenceDecay);
        if (state->confidence < kConfidenceFloor) state->confidence = 0.0f;
        state->weightedConfidence =
            static_cast<float>(static_cast<double>(state->confidence) * state->period);
    }
}
