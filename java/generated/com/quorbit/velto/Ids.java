package com.quorbit.velto;

/**
 * The unit type IDs and port IDs of the engine, as include/velto_units.h
 * names them ({@code UNIT_*} for {@code VEXA_UNIT_*}, {@code PORT_*} for
 * {@code VEXA_PORT_*}), for the calls of {@link Vexa}.
 *
 * Written by docs/tools/unit_catalog.cpp from the library's own descriptors.
 */
public final class Ids {
    private Ids() {}

    /* Unit type IDs. */
    /** The type ID of {@link Add}. */
    public static final int UNIT_ADD = 0x01b7611d;
    /** The type ID of {@link AddUnsigned}. */
    public static final int UNIT_ADD_UNSIGNED = 0x059d9781;
    /** The type ID of {@link BusRead}. */
    public static final int UNIT_BUS_READ = 0x01bc7f72;
    /** The type ID of {@link BusWrite}. */
    public static final int UNIT_BUS_WRITE = 0x01e355e2;
    /** The type ID of {@link ChannelIn}. */
    public static final int UNIT_CHANNEL_IN = 0x01ea9411;
    /** The type ID of {@link ChannelOut}. */
    public static final int UNIT_CHANNEL_OUT = 0x01ec67f1;
    /** The type ID of {@link Compare}. */
    public static final int UNIT_COMPARE = 0x01b7a332;
    /** The type ID of {@link CrossFade}. */
    public static final int UNIT_CROSS_FADE = 0x0589d9e3;
    /** The type ID of {@link Delay}. */
    public static final int UNIT_DELAY = 0x0141b8de;
    /** The type ID of {@link DelayInterp}. */
    public static final int UNIT_DELAY_INTERP = 0x053e880c;
    /** The type ID of {@link Divide}. */
    public static final int UNIT_DIVIDE = 0x01ceadd1;
    /** The type ID of {@link EnvelopeLinear}. */
    public static final int UNIT_ENVELOPE_LINEAR = 0x057bbdb7;
    /** The type ID of {@link EnvelopeParabolic}. */
    public static final int UNIT_ENVELOPE_PARABOLIC = 0x0583ae2b;
    /** The type ID of {@link Filter1o1p}. */
    public static final int UNIT_FILTER1O1P = 0x01be3660;
    /** The type ID of {@link Filter1o1p1z}. */
    public static final int UNIT_FILTER1O1P1Z = 0x023e5660;
    /** The type ID of {@link Filter1o1z}. */
    public static final int UNIT_FILTER1O1Z = 0x01be5e60;
    /** The type ID of {@link Filter2o2p}. */
    public static final int UNIT_FILTER2O2P = 0x01be36e2;
    /** The type ID of {@link Filter2o2p2z}. */
    public static final int UNIT_FILTER2O2P2Z = 0x023e76e2;
    /** The type ID of {@link FilterBandPass}. */
    public static final int UNIT_FILTER_BAND_PASS = 0x05c125ee;
    /** The type ID of {@link FilterBandStop}. */
    public static final int UNIT_FILTER_BAND_STOP = 0x05b485e2;
    /** The type ID of {@link FilterHighPass}. */
    public static final int UNIT_FILTER_HIGH_PASS = 0x05c132fa;
    /** The type ID of {@link FilterHighShelf}. */
    public static final int UNIT_FILTER_HIGH_SHELF = 0x05589f9e;
    /** The type ID of {@link FilterLowPass}. */
    public static final int UNIT_FILTER_LOW_PASS = 0x05d4f996;
    /** The type ID of {@link FilterLowShelf}. */
    public static final int UNIT_FILTER_LOW_SHELF = 0x058fe72e;
    /** The type ID of {@link FilterOldSVF}. */
    public static final int UNIT_FILTER_OLD_SVF = 0x06119b8b;
    /** The type ID of {@link FilterPeakingEQ}. */
    public static final int UNIT_FILTER_PEAKING_EQ = 0x05716532;
    /** The type ID of {@link FilterSVF}. */
    public static final int UNIT_FILTER_SVF = 0x06117edc;
    /** The type ID of {@link FourWayFade}. */
    public static final int UNIT_FOUR_WAY_FADE = 0x0544c60f;
    /** The type ID of {@link ImpulseOscillator}. */
    public static final int UNIT_IMPULSE_OSCILLATOR = 0x01fdbfd1;
    /** The type ID of {@link ImpulseOscillatorBL}. */
    public static final int UNIT_IMPULSE_OSCILLATOR_BL = 0x0251ffd1;
    /** The type ID of {@link Integrate}. */
    public static final int UNIT_INTEGRATE = 0x058d830d;
    /** The type ID of {@link LagExp}. */
    public static final int UNIT_LAG_EXP = 0x05829f02;
    /** The type ID of {@link LagLinear}. */
    public static final int UNIT_LAG_LINEAR = 0x01f25aee;
    /** The type ID of {@link Latch}. */
    public static final int UNIT_LATCH = 0x01687906;
    /** The type ID of {@link LineIn}. */
    public static final int UNIT_LINE_IN = 0x01e35914;
    /** The type ID of {@link LineOut}. */
    public static final int UNIT_LINE_OUT = 0x020259fc;
    /** The type ID of {@link MassSpring}. */
    public static final int UNIT_MASS_SPRING = 0x0534c2cf;
    /** The type ID of {@link Maximum}. */
    public static final int UNIT_MAXIMUM = 0x01c11255;
    /** The type ID of {@link Minimum}. */
    public static final int UNIT_MINIMUM = 0x01e11241;
    /** The type ID of {@link Multiply}. */
    public static final int UNIT_MULTIPLY = 0x0289dced;
    /** The type ID of {@link MultiplyAdd}. */
    public static final int UNIT_MULTIPLY_ADD = 0x0491eafd;
    /** The type ID of {@link MultiplyAddUnsigned}. */
    public static final int UNIT_MULTIPLY_ADD_UNSIGNED = 0x05855514;
    /** The type ID of {@link MultiplyUnsigned}. */
    public static final int UNIT_MULTIPLY_UNSIGNED = 0x061b0e69;
    /** The type ID of {@link Pan}. */
    public static final int UNIT_PAN = 0x01b2e131;
    /** The type ID of {@link PanControl}. */
    public static final int UNIT_PAN_CONTROL = 0x05ad5691;
    /** The type ID of {@link PeakFollower}. */
    public static final int UNIT_PEAK_FOLLOWER = 0x05f2d79e;
    /** The type ID of {@link PeriodDetector}. */
    public static final int UNIT_PERIOD_DETECTOR = 0x057371f3;
    /** The type ID of {@link PinkNoise}. */
    public static final int UNIT_PINK_NOISE = 0x01771138;
    /** The type ID of {@link PulseOscillator}. */
    public static final int UNIT_PULSE_OSCILLATOR = 0x01f061dd;
    /** The type ID of {@link PulseOscillatorBL}. */
    public static final int UNIT_PULSE_OSCILLATOR_BL = 0x01f1b2dd;
    /** The type ID of {@link RedNoise}. */
    public static final int UNIT_RED_NOISE = 0x017edb10;
    /** The type ID of {@link SampleRead16F1}. */
    public static final int UNIT_SAMPLE_READ16_F1 = 0x042426d3;
    /** The type ID of {@link SampleRead16F2}. */
    public static final int UNIT_SAMPLE_READ16_F2 = 0x042426d7;
    /** The type ID of {@link SampleRead16V1}. */
    public static final int UNIT_SAMPLE_READ16_V1 = 0x04a426d3;
    /** The type ID of {@link SampleWrite16F1}. */
    public static final int UNIT_SAMPLE_WRITE16_F1 = 0x03a5f221;
    /** The type ID of {@link SampleWrite16F2}. */
    public static final int UNIT_SAMPLE_WRITE16_F2 = 0x03a5f241;
    /** The type ID of {@link SawtoothOscillator}. */
    public static final int UNIT_SAWTOOTH_OSCILLATOR = 0x022199ff;
    /** The type ID of {@link SawtoothOscillatorBL}. */
    public static final int UNIT_SAWTOOTH_OSCILLATOR_BL = 0x04c399ff;
    /** The type ID of {@link Schmidt}. */
    public static final int UNIT_SCHMIDT = 0x05a5ef32;
    /** The type ID of {@link Select}. */
    public static final int UNIT_SELECT = 0x0192e58e;
    /** The type ID of {@link SineOscillator}. */
    public static final int UNIT_SINE_OSCILLATOR = 0x01f28b71;
    /** The type ID of {@link SquareOscillator}. */
    public static final int UNIT_SQUARE_OSCILLATOR = 0x0212c509;
    /** The type ID of {@link SquareOscillatorBL}. */
    public static final int UNIT_SQUARE_OSCILLATOR_BL = 0x021d4d09;
    /** The type ID of {@link Subtract}. */
    public static final int UNIT_SUBTRACT = 0x02868559;
    /** The type ID of {@link TableLookup}. */
    public static final int UNIT_TABLE_LOOKUP = 0x0176d52a;
    /** The type ID of {@link TriangleOscillator}. */
    public static final int UNIT_TRIANGLE_OSCILLATOR = 0x01f1a5c9;
    /** The type ID of {@link WaveOscillator}. */
    public static final int UNIT_WAVE_OSCILLATOR = 0x01bea1cf;
    /** The type ID of {@link WhiteNoise}. */
    public static final int UNIT_WHITE_NOISE = 0x0194a966;

    /* Port IDs. */
    /** The port ID of every {@code Input} port. */
    public static final int PORT_INPUT = 0x000849b9;
    /** The port ID of every {@code InputA} port. */
    public static final int PORT_INPUT_A = 0x0028c9b9;
    /** The port ID of every {@code InputB} port. */
    public static final int PORT_INPUT_B = 0x002949b9;
    /** The port ID of every {@code InputC} port. */
    public static final int PORT_INPUT_C = 0x0029c9b9;
    /** The port ID of every {@code Output} port. */
    public static final int PORT_OUTPUT = 0x004250f7;
    /** The port ID of every {@code Select} port. */
    public static final int PORT_SELECT = 0x0041187b;
    /** The port ID of every {@code Gate} port. */
    public static final int PORT_GATE = 0x0000ea4f;
    /** The port ID of every {@code Fade} port. */
    public static final int PORT_FADE = 0x0000e64e;
    /** The port ID of every {@code Pan} port. */
    public static final int PORT_PAN = 0x00001ed8;
    /** The port ID of every {@code SetLevel} port. */
    public static final int PORT_SET_LEVEL = 0x01d60953;
    /** The port ID of every {@code ResetLevel} port. */
    public static final int PORT_RESET_LEVEL = 0x01c26776;
    /** The port ID of every {@code SetTrigger} port. */
    public static final int PORT_SET_TRIGGER = 0x01842621;
    /** The port ID of every {@code LowerLimit} port. */
    public static final int PORT_LOWER_LIMIT = 0x01d24cee;
    /** The port ID of every {@code UpperLimit} port. */
    public static final int PORT_UPPER_LIMIT = 0x01d24b3f;
    /** The port ID of every {@code Frequency} port. */
    public static final int PORT_FREQUENCY = 0x01f2d76c;
    /** The port ID of every {@code Amplitude} port. */
    public static final int PORT_AMPLITUDE = 0x02158ec1;
    /** The port ID of every {@code Phase} port. */
    public static final int PORT_PHASE = 0x000751d0;
    /** The port ID of every {@code Width} port. */
    public static final int PORT_WIDTH = 0x0007849f;
    /** The port ID of every {@code Q} port. */
    public static final int PORT_Q = 0x00000051;
    /** The port ID of every {@code Gain} port. */
    public static final int PORT_GAIN = 0x0000f98f;
    /** The port ID of every {@code Slope} port. */
    public static final int PORT_SLOPE = 0x00074f73;
    /** The port ID of every {@code A0} port. */
    public static final int PORT_A0 = 0x000001c1;
    /** The port ID of every {@code A1} port. */
    public static final int PORT_A1 = 0x000001c9;
    /** The port ID of every {@code A2} port. */
    public static final int PORT_A2 = 0x000001d1;
    /** The port ID of every {@code B1} port. */
    public static final int PORT_B1 = 0x000001ca;
    /** The port ID of every {@code B2} port. */
    public static final int PORT_B2 = 0x000001d2;
    /** The port ID of every {@code HalfLife} port. */
    public static final int PORT_HALF_LIFE = 0x01d22b1a;
    /** The port ID of every {@code Current} port. */
    public static final int PORT_CURRENT = 0x020e546b;
    /** The port ID of every {@code Time} port. */
    public static final int PORT_TIME = 0x0000e8dc;
    /** The port ID of every {@code Delay} port. */
    public static final int PORT_DELAY = 0x0008706c;
    /** The port ID of every {@code Period} port. */
    public static final int PORT_PERIOD = 0x0039e1f8;
    /** The port ID of every {@code Confidence} port. */
    public static final int PORT_CONFIDENCE = 0x01cdb4c7;
    /** The port ID of every {@code Resonance} port. */
    public static final int PORT_RESONANCE = 0x01f06550;
    /** The port ID of every {@code LowPass} port. */
    public static final int PORT_LOW_PASS = 0x020c5184;
    /** The port ID of every {@code BandPass} port. */
    public static final int PORT_BAND_PASS = 0x020267b0;
    /** The port ID of every {@code HighPass} port. */
    public static final int PORT_HIGH_PASS = 0x02026e36;
    /** The port ID of every {@code Stiffness} port. */
    public static final int PORT_STIFFNESS = 0x01d25249;
    /** The port ID of every {@code Damping} port. */
    public static final int PORT_DAMPING = 0x01da8e8c;
    /** The port ID of every {@code BusInput} port. */
    public static final int PORT_BUS_INPUT = 0x02139392;
    /** The port ID of every {@code BusOutput} port. */
    public static final int PORT_BUS_OUTPUT = 0x020216d4;
    /** The port ID of every {@code Data} port. */
    public static final int PORT_DATA = 0x0000e24c;
    /** The port ID of every {@code Rate} port. */
    public static final int PORT_RATE = 0x0000ea5a;
    /** The port ID of every {@code Table} port. */
    public static final int PORT_TABLE = 0x000743dc;
    /** The port ID of every {@code BusyInput} port. */
    public static final int PORT_BUSY_INPUT = 0x0203e854;
    /** The port ID of every {@code StartPulse} port. */
    public static final int PORT_START_PULSE = 0x02867e12;
}
