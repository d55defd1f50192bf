/*
 * vx_pitchdet.h - the period detector's state and its frame-by-frame functions, used by the
 * PeriodDetector unit (vxu_pitchdet.cpp). The whole state, ring of feature records included,
 * lives inside the unit record.
 */
#ifndef VX_PITCHDET_H
#define VX_PITCHDET_H

#include <cstdint>

/* Kinds of feature record. */
enum : uint32_t {
    FEATURE_UP_CROSSING = 0,
    FEATURE_MAXIMUM = 1,
    FEATURE_DOWN_CROSSING = 2,
    FEATURE_MINIMUM = 3
};

constexpr int32_t PD_NUM_RECORDS = 256;

struct FeatureRecord {
    uint32_t type;
    int16_t time;   /* low 16 bits of the frame counter of the frame before the feature */
    float fraction; /* position within that frame step */
    float value;    /* crossings: step x 10; extrema: the input value */
};

struct PeriodDetectorState {
    float period;             /* accepted estimate, in frames */
    float weightedConfidence; /* confidence x period */
    float confidence;
    float lastCandidatePeriod;
    float maximumPeriod;
    float minimumPeriod;
    int32_t frameCounter;
    int32_t holdCounter;
    float previousInput;
    float previousStep;
    float lastMinimum;
    float lastMaximum;
    float hysteresis;
    int32_t crossingState; /* 1 above +hysteresis, 0 below -hysteresis */
    int32_t recordCount;   /* saturates at PD_NUM_RECORDS - 1 */
    int32_t writeIndex;
    FeatureRecord records[PD_NUM_RECORDS];
};

/* Clears the state and sets the period limits for frameRate (50 Hz ... 2400 Hz). */
void PeriodDetectorInit(PeriodDetectorState *state, float frameRate);
/* Processes one input frame. */
void DetectPeriod(PeriodDetectorState *state, float x);
/* The ring slot at the write index, to be filled by the caller; advances the ring. */
FeatureRecord *GetNextFeatureRecord(PeriodDetectorState *state);
/* Searches the recent records for the best period after a new zero-crossing record. */
void MatchFeatures(PeriodDetectorState *state);
/* 1 - ((a - b) / (a + b))^2: 1 for equal values, falling as they part. */
double CalculateSimilarity(double a, double b);

#endif /* VX_PITCHDET_H */
