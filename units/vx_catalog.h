/*
 * vx_catalog.h - the catalogue of unit types: every type's loader, in the order in which
 * VexaF_LoadUnits links their descriptors (units/vx_catalog.cpp). A new unit type adds its
 * own source and one line here.
 */
#ifndef VX_CATALOG_H
#define VX_CATALOG_H

#include "vx_model.h"

/* The catalogue: every unit type's loader, in the order VexaF_LoadUnits links them. */
#define VX_UNIT_CATALOGUE(X)                                                               \
    X(SawtoothOscillator)                                                                  \
    X(PeriodDetector)                                                                      \
    X(LineOut)                                                                             \
    X(ChannelOut)                                                                          \
    X(SampleRead16F1)                                                                      \
    X(SampleRead16V1)                                                                      \
    X(SampleWrite16F1)                                                                     \
    X(BusRead)                                                                             \
    X(BusWrite)                                                                            \
    X(Add)                                                                                 \
    X(PulseOscillator)                                                                     \
    X(SquareOscillator)                                                                    \
    X(TriangleOscillator)                                                                  \
    X(RedNoise)                                                                            \
    X(PinkNoise)                                                                           \
    X(ImpulseOscillator)                                                                   \
    X(Filter2o2p2z)                                                                        \
    X(FilterLowPass)                                                                       \
    X(FilterHighPass)                                                                      \
    X(FilterBandPass)                                                                      \
    X(FilterBandStop)                                                                      \
    X(FilterPeakingEQ)                                                                     \
    X(FilterLowShelf)                                                                      \
    X(FilterHighShelf)                                                                     \
    X(FilterSVF)                                                                           \
    X(FilterOldSVF)                                                                        \
    X(SineOscillator)                                                                      \
    X(EnvelopeLinear)                                                                      \
    X(WaveOscillator)                                                                      \
    X(WhiteNoise)                                                                          \
    X(MultiplyAdd)                                                                         \
    X(Delay)                                                                               \
    X(DelayInterp)                                                                         \
    X(Subtract)                                                                            \
    X(SampleWrite16F2)                                                                     \
    X(SampleRead16F2)                                                                      \
    X(FourWayFade)                                                                         \
    X(CrossFade)                                                                           \
    X(TableLookup)                                                                         \
    X(Minimum)                                                                             \
    X(Maximum)                                                                             \
    X(Select)                                                                              \
    X(Schmidt)                                                                             \
    X(LagLinear)                                                                           \
    X(LagExp)                                                                              \
    X(MultiplyUnsigned)                                                                    \
    X(Multiply)                                                                            \
    X(PanControl)                                                                          \
    X(Pan)                                                                                 \
    X(MassSpring)                                                                          \
    X(Compare)                                                                             \
    X(Latch)                                                                               \
    X(EnvelopeParabolic)                                                                   \
    X(PeakFollower)                                                                        \
    X(LineIn)                                                                              \
    X(ChannelIn)                                                                           \
    X(Filter2o2p)                                                                          \
    X(Filter1o1z)                                                                          \
    X(Filter1o1p1z)                                                                        \
    X(Filter1o1p)                                                                          \
    X(AddUnsigned)                                                                         \
    X(MultiplyAddUnsigned)                                                                 \
    X(Divide)                                                                              \
    X(SawtoothOscillatorBL)                                                                \
    X(ImpulseOscillatorBL)                                                                 \
    X(SquareOscillatorBL)                                                                  \
    X(PulseOscillatorBL)                                                                   \
    X(Integrate)

#define VX_DECLARE_LOADER(Name) UnitInfo *VXU_Load##Name();
VX_UNIT_CATALOGUE(VX_DECLARE_LOADER)
#undef VX_DECLARE_LOADER

#endif /* VX_CATALOG_H */
