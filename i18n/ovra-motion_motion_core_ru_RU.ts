<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>PhaseMotionProcessor</name>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="29"/>
        <source>The phase motion processor has not been configured.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="31"/>
        <source>There is not enough memory to process the frame.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="92"/>
        <source>Could not determine the source video&apos;s frame size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="94"/>
        <source>The camera capture frame rate is required to configure the motion filter.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="98"/>
        <source>The phase core prototype supports only a uniform time grid.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="101"/>
        <source>The amplification band must lie between 0 Hz and the Nyquist frequency.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="105"/>
        <source>The amplification region or stabilization reference region is invalid.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="109"/>
        <source>Camera motion compensation is not available yet and will be added in a separate stage.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="113"/>
        <source>The prototype amplification factor must be between 1 and 50.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="116"/>
        <source>The worker thread count must be between 0 and 256; 0 selects automatic mode.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="121"/>
        <source>The minimum frame size for processing is 32 x 32 pixels.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="175"/>
        <source>There is not enough memory to create the spatial pyramid.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="202"/>
        <source>A valid frame and an output frame container are required.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="207"/>
        <source>The frame size changed during processing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="210"/>
        <source>Frame timestamps must be strictly increasing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="213"/>
        <source>Frame sequence numbers must be strictly increasing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="234"/>
        <source>An output container for remaining frames is required.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/PhaseMotionProcessor.cpp" line="266"/>
        <source>There is not enough memory to prepare the selected processing region.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TemporalBandpassFilter</name>
    <message>
        <location filename="../motion_core/TemporalBandpassFilter.cpp" line="55"/>
        <source>The temporal band-pass filter parameters are invalid.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/TemporalBandpassFilter.cpp" line="62"/>
        <source>Could not calculate the band-pass filter coefficients.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/TemporalBandpassFilter.cpp" line="101"/>
        <source>The temporal filter has not been configured.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/TemporalBandpassFilter.cpp" line="105"/>
        <location filename="../motion_core/TemporalBandpassFilter.cpp" line="142"/>
        <source>Phase components and an output container are required.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/TemporalBandpassFilter.cpp" line="110"/>
        <source>The phase pyramid contains an empty level.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../motion_core/TemporalBandpassFilter.cpp" line="114"/>
        <source>The phase pyramid size changed during processing.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
