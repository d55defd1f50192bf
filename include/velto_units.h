/*
 * velto_units.h - names for the unit types and port IDs of the Velto synthesis
 * engine, for use with velto.h:
 *
 *   int32_t osc = Vexa_CreateUnit(ctx, VEXA_UNIT_SINE_OSCILLATOR, 0, 0);
 *   Vexa_SetPort(ctx, osc, VEXA_PORT_FREQUENCY, 0, 440.0);
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors (a test
 * checks that this file matches them); docs/units.md tells which ports each type has.
 */
#ifndef VELTO_UNITS_H
#define VELTO_UNITS_H

/* Unit type IDs (the typeID of Vexa_CreateUnit). */
#define VEXA_UNIT_ADD                          0x01b7611du
#define VEXA_UNIT_ADD_UNSIGNED                 0x059d9781u
#define VEXA_UNIT_BUS_READ                     0x01bc7f72u
#define VEXA_UNIT_BUS_WRITE                    0x01e355e2u
#define VEXA_UNIT_CHANNEL_IN                   0x01ea9411u
#define VEXA_UNIT_CHANNEL_OUT                  0x01ec67f1u
#define VEXA_UNIT_COMPARE                      0x01b7a332u
#define VEXA_UNIT_CROSS_FADE                   0x0589d9e3u
#define VEXA_UNIT_DELAY                        0x0141b8deu
#define VEXA_UNIT_DELAY_INTERP                 0x053e880cu
#define VEXA_UNIT_DIVIDE                       0x01ceadd1u
#define VEXA_UNIT_ENVELOPE_LINEAR              0x057bbdb7u
#define VEXA_UNIT_ENVELOPE_PARABOLIC           0x0583ae2bu
#define VEXA_UNIT_FILTER1O1P                   0x01be3660u
#define VEXA_UNIT_FILTER1O1P1Z                 0x023e5660u
#define VEXA_UNIT_FILTER1O1Z                   0x01be5e60u
#define VEXA_UNIT_FILTER2O2P                   0x01be36e2u
#define VEXA_UNIT_FILTER2O2P2Z                 0x023e76e2u
#define VEXA_UNIT_FILTER_BAND_PASS             0x05c125eeu
#define VEXA_UNIT_FILTER_BAND_STOP             0x05b485e2u
#define VEXA_UNIT_FILTER_HIGH_PASS             0x05c132fau
#define VEXA_UNIT_FILTER_HIGH_SHELF            0x05589f9eu
#define VEXA_UNIT_FILTER_LOW_PASS              0x05d4f996u
#define VEXA_UNIT_FILTER_LOW_SHELF             0x058fe72eu
#define VEXA_UNIT_FILTER_OLD_SVF               0x06119b8bu
#define VEXA_UNIT_FILTER_PEAKING_EQ            0x05716532u
#define VEXA_UNIT_FILTER_SVF                   0x06117edcu
#define VEXA_UNIT_FOUR_WAY_FADE                0x0544c60fu
#define VEXA_UNIT_IMPULSE_OSCILLATOR           0x01fdbfd1u
#define VEXA_UNIT_IMPULSE_OSCILLATOR_BL        0x0251ffd1u
#define VEXA_UNIT_INTEGRATE                    0x058d830du
#define VEXA_UNIT_LAG_EXP                      0x05829f02u
#define VEXA_UNIT_LAG_LINEAR                   0x01f25aeeu
#define VEXA_UNIT_LATCH                        0x01687906u
#define VEXA_UNIT_LINE_IN                      0x01e35914u
#define VEXA_UNIT_LINE_OUT                     0x020259fcu
#define VEXA_UNIT_MASS_SPRING                  0x0534c2cfu
#define VEXA_UNIT_MAXIMUM                      0x01c11255u
#define VEXA_UNIT_MINIMUM                      0x01e11241u
#define VEXA_UNIT_MULTIPLY                     0x0289dcedu
#define VEXA_UNIT_MULTIPLY_ADD                 0x0491eafdu
#define VEXA_UNIT_MULTIPLY_ADD_UNSIGNED        0x05855514u
#define VEXA_UNIT_MULTIPLY_UNSIGNED            0x061b0e69u
#define VEXA_UNIT_PAN                          0x01b2e131u
#define VEXA_UNIT_PAN_CONTROL                  0x05ad5691u
#define VEXA_UNIT_PEAK_FOLLOWER                0x05f2d79eu
#define VEXA_UNIT_PERIOD_DETECTOR              0x057371f3u
#define VEXA_UNIT_PINK_NOISE                   0x01771138u
#define VEXA_UNIT_PULSE_OSCILLATOR             0x01f061ddu
#define VEXA_UNIT_PULSE_OSCILLATOR_BL          0x01f1b2ddu
#define VEXA_UNIT_RED_NOISE                    0x017edb10u
#define VEXA_UNIT_SAMPLE_READ16_F1             0x042426d3u
#define VEXA_UNIT_SAMPLE_READ16_F2             0x042426d7u
#define VEXA_UNIT_SAMPLE_READ16_V1             0x04a426d3u
#define VEXA_UNIT_SAMPLE_WRITE16_F1            0x03a5f221u
#define VEXA_UNIT_SAMPLE_WRITE16_F2            0x03a5f241u
#define VEXA_UNIT_SAWTOOTH_OSCILLATOR          0x022199ffu
#define VEXA_UNIT_SAWTOOTH_OSCILLATOR_BL       0x04c399ffu
#define VEXA_UNIT_SCHMIDT                      0x05a5ef32u
#define VEXA_UNIT_SELECT                       0x0192e58eu
#define VEXA_UNIT_SINE_OSCILLATOR              0x01f28b71u
#define VEXA_UNIT_SQUARE_OSCILLATOR            0x0212c509u
#define VEXA_UNIT_SQUARE_OSCILLATOR_BL         0x021d4d09u
#define VEXA_UNIT_SUBTRACT                     0x02868559u
#define VEXA_UNIT_TABLE_LOOKUP                 0x0176d52au
#define VEXA_UNIT_TRIANGLE_OSCILLATOR          0x01f1a5c9u
#define VEXA_UNIT_WAVE_OSCILLATOR              0x01bea1cfu
#define VEXA_UNIT_WHITE_NOISE                  0x0194a966u

/* Port IDs (the portID of the port calls; a port's meaning depends on its type). */
#define VEXA_PORT_INPUT                0x000849b9u
#define VEXA_PORT_INPUT_A              0x0028c9b9u
#define VEXA_PORT_INPUT_B              0x002949b9u
#define VEXA_PORT_INPUT_C              0x0029c9b9u
#define VEXA_PORT_OUTPUT               0x004250f7u
#define VEXA_PORT_SELECT               0x0041187bu
#define VEXA_PORT_GATE                 0x0000ea4fu
#define VEXA_PORT_FADE                 0x0000e64eu
#define VEXA_PORT_PAN                  0x00001ed8u
#define VEXA_PORT_SET_LEVEL            0x01d60953u
#define VEXA_PORT_RESET_LEVEL          0x01c26776u
#define VEXA_PORT_SET_TRIGGER          0x01842621u
#define VEXA_PORT_LOWER_LIMIT          0x01d24ceeu
#define VEXA_PORT_UPPER_LIMIT          0x01d24b3fu
#define VEXA_PORT_FREQUENCY            0x01f2d76cu
#define VEXA_PORT_AMPLITUDE            0x02158ec1u
#define VEXA_PORT_PHASE                0x000751d0u
#define VEXA_PORT_WIDTH                0x0007849fu
#define VEXA_PORT_Q                    0x00000051u
#define VEXA_PORT_GAIN                 0x0000f98fu
#define VEXA_PORT_SLOPE                0x00074f73u
#define VEXA_PORT_A0                   0x000001c1u
#define VEXA_PORT_A1                   0x000001c9u
#define VEXA_PORT_A2                   0x000001d1u
#define VEXA_PORT_B1                   0x000001cau
#define VEXA_PORT_B2                   0x000001d2u
#define VEXA_PORT_HALF_LIFE            0x01d22b1au
#define VEXA_PORT_CURRENT              0x020e546bu
#define VEXA_PORT_TIME                 0x0000e8dcu
#define VEXA_PORT_DELAY                0x0008706cu
#define VEXA_PORT_PERIOD               0x0039e1f8u
#define VEXA_PORT_CONFIDENCE           0x01cdb4c7u
#define VEXA_PORT_RESONANCE            0x01f06550u
#define VEXA_PORT_LOW_PASS             0x020c5184u
#define VEXA_PORT_BAND_PASS            0x020267b0u
#define VEXA_PORT_HIGH_PASS            0x02026e36u
#define VEXA_PORT_STIFFNESS            0x01d25249u
#define VEXA_PORT_DAMPING              0x01da8e8cu
#define VEXA_PORT_BUS_INPUT            0x02139392u
#define VEXA_PORT_BUS_OUTPUT           0x020216d4u
#define VEXA_PORT_DATA                 0x0000e24cu
#define VEXA_PORT_RATE                 0x0000ea5au
#define VEXA_PORT_TABLE                0x000743dcu
#define VEXA_PORT_BUSY_INPUT           0x0203e854u
#define VEXA_PORT_START_PULSE          0x02867e12u

#endif /* VELTO_UNITS_H */
