<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>CommandLine</name>
    <message numerus="yes">
        <source>Processed %n frame(s) in %1: %2 frames/s, %3 % of the frame loop in motion processing.</source>
        <translation>
            <numerusform>Processed %n frame in %1: %2 frames/s, %3 % of the frame loop in motion processing.</numerusform>
            <numerusform>Processed %n frames in %1: %2 frames/s, %3 % of the frame loop in motion processing.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n frame(s) at %1 frames/s: bins of %2 Hz up to %3 Hz, %4 segments, %5 tiles followed; median noise floor %6 px.</source>
        <translation>
            <numerusform>%n frame at %1 frames/s: bins of %2 Hz up to %3 Hz, %4 segments, %5 tiles followed; median noise floor %6 px.</numerusform>
            <numerusform>%n frames at %1 frames/s: bins of %2 Hz up to %3 Hz, %4 segments, %5 tiles followed; median noise floor %6 px.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n frame(s): %1 of %2 tiles textured, strongest at %3 Hz; median noise floor %4 px.</source>
        <translation>
            <numerusform>%n frame: %1 of %2 tiles textured, strongest at %3 Hz; median noise floor %4 px.</numerusform>
            <numerusform>%n frames: %1 of %2 tiles textured, strongest at %3 Hz; median noise floor %4 px.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ProcessingDialog</name>
    <message numerus="yes">
        <source>Automatic · %n thread(s)</source>
        <translation>
            <numerusform>Automatic · %n thread</numerusform>
            <numerusform>Automatic · %n threads</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Manual · %n thread(s)</source>
        <translation>
            <numerusform>Manual · %n thread</numerusform>
            <numerusform>Manual · %n threads</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ProcessingSettingsController</name>
    <message numerus="yes">
        <source>The fragment is shorter than the recommended %1 frames: the frequency filter has little time to settle, so results are less reliable. It holds %n whole period(s) of the lower band edge, and the first of them is less reliable than the rest.</source>
        <translation>
            <numerusform>The fragment is shorter than the recommended %1 frames: the frequency filter has little time to settle, so results are less reliable. It holds %n whole period of the lower band edge, and the first period is always less reliable than later ones.</numerusform>
            <numerusform>The fragment is shorter than the recommended %1 frames: the frequency filter has little time to settle, so results are less reliable. It holds %n whole periods of the lower band edge, and the first of them is less reliable than the rest.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ResourcesPanel</name>
    <message numerus="yes">
        <source>%n thread(s)</source>
        <translation>
            <numerusform>%n thread</numerusform>
            <numerusform>%n threads</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TransportBar</name>
    <message numerus="yes">
        <source>Selected: %n frame(s)</source>
        <translation>
            <numerusform>Selected: %n frame</numerusform>
            <numerusform>Selected: %n frames</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>VibrationMapAnalysis</name>
    <message numerus="yes">
        <source>The fragment of %n frame(s) is too short to map a band from %1 Hz at %2 frames/s: it needs at least %3 frames.</source>
        <translation>
            <numerusform>The fragment of %n frame is too short to map a band from %1 Hz at %2 frames/s: it needs at least %3 frames.</numerusform>
            <numerusform>The fragment of %n frames is too short to map a band from %1 Hz at %2 frames/s: it needs at least %3 frames.</numerusform>
        </translation>
    </message>
</context>
</TS>
