<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>PhaseMotionProcessor</name>
    <message>
        <source>The phase motion processor has not been configured.</source>
        <translation>Фазовый обработчик движения не настроен.</translation>
    </message>
    <message>
        <source>There is not enough memory to process the frame.</source>
        <translation>Недостаточно памяти для обработки кадра.</translation>
    </message>
    <message>
        <source>Could not determine the source video&apos;s frame size.</source>
        <translation>Не удалось определить размер кадра исходного видео.</translation>
    </message>
    <message>
        <source>The camera capture frame rate is required to configure the motion filter.</source>
        <translation>Для настройки фильтра движения необходима частота кадров съёмки камеры.</translation>
    </message>
    <message>
        <source>The phase core prototype supports only a uniform time grid.</source>
        <translation>Прототип фазового ядра поддерживает только равномерную временную сетку.</translation>
    </message>
    <message>
        <source>The amplification band must lie between 0 Hz and the Nyquist frequency.</source>
        <translation>Полоса усиления должна лежать между 0 Гц и частотой Найквиста.</translation>
    </message>
    <message>
        <source>The amplification region or stabilization reference region is invalid.</source>
        <translation>Недопустимая область усиления или опорная область стабилизации.</translation>
    </message>
    <message>
        <source>The prototype amplification factor must be between 1 and 50.</source>
        <translation>В прототипе коэффициент усиления должен быть от 1 до 50.</translation>
    </message>
    <message>
        <source>The worker thread count must be between 0 and 256; 0 selects automatic mode.</source>
        <translation>Число рабочих потоков должно быть от 0 до 256; 0 — автоматический режим.</translation>
    </message>
    <message>
        <source>The minimum frame size for processing is 32 x 32 pixels.</source>
        <translation>Минимальный размер кадра для обработки — 32 x 32 пикселя.</translation>
    </message>
    <message>
        <source>There is not enough memory to create the spatial pyramid.</source>
        <translation>Недостаточно памяти для построения пространственной пирамиды.</translation>
    </message>
    <message>
        <source>A valid frame and an output frame container are required.</source>
        <translation>Необходимы допустимый кадр и контейнер для выходного кадра.</translation>
    </message>
    <message>
        <source>The frame size changed during processing.</source>
        <translation>Размер кадра изменился во время обработки.</translation>
    </message>
    <message>
        <source>Frame timestamps must be strictly increasing.</source>
        <translation>Временные метки кадров должны строго возрастать.</translation>
    </message>
    <message>
        <source>Frame sequence numbers must be strictly increasing.</source>
        <translation>Порядковые номера кадров должны строго возрастать.</translation>
    </message>
    <message>
        <source>An output container for remaining frames is required.</source>
        <translation>Необходим выходной контейнер для оставшихся кадров.</translation>
    </message>
    <message>
        <source>The system could not start a thread for motion processing: %1</source>
        <translation>Системе не удалось запустить поток для обработки движения: %1</translation>
    </message>
    <message>
        <source>There is not enough memory to prepare the selected processing region.</source>
        <translation>Недостаточно памяти для подготовки выбранной области обработки.</translation>
    </message>
    <message>
        <source>Motion core error: %1</source>
        <translation>Ошибка ядра обработки движения: %1</translation>
    </message>
    <message>
        <source>unknown exception</source>
        <translation>неизвестное исключение</translation>
    </message>
</context>
<context>
    <name>TemporalBandpassFilter</name>
    <message>
        <source>The temporal band-pass filter parameters are invalid.</source>
        <translation>Недопустимые параметры временного полосового фильтра.</translation>
    </message>
    <message>
        <source>Could not calculate the band-pass filter coefficients.</source>
        <translation>Не удалось рассчитать коэффициенты полосового фильтра.</translation>
    </message>
    <message>
        <source>The temporal filter has not been configured.</source>
        <translation>Временной фильтр не настроен.</translation>
    </message>
    <message>
        <source>Phase components and an output container are required.</source>
        <translation>Необходимы фазовые составляющие и выходной контейнер.</translation>
    </message>
    <message>
        <source>The phase pyramid contains an empty level.</source>
        <translation>Фазовая пирамида содержит пустой уровень.</translation>
    </message>
    <message>
        <source>The phase pyramid size changed during processing.</source>
        <translation>Размер фазовой пирамиды изменился во время обработки.</translation>
    </message>
</context>
</TS>
