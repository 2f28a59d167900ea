<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>AnalysisResult</name>
    <message>
        <source>Could not write the temporary analysis result. Check free disk space and access to the temporary folder.</source>
        <translation>Не удалось записать временный результат анализа. Проверьте свободное место на диске и доступ к временной папке.</translation>
    </message>
    <message>
        <source>Could not read the temporary analysis result. Run the analysis again.</source>
        <translation>Не удалось прочитать временный результат анализа. Запустите анализ повторно.</translation>
    </message>
    <message>
        <source>The temporary folder does not have enough free space for the analysis result: %1 needed, %2 available.</source>
        <translation>Во временной папке недостаточно свободного места для результата анализа: требуется %1, доступно %2.</translation>
    </message>
    <message>
        <source>The folder for temporary analysis results %1 belongs to another user, or it is a link or a file. Remove it, or choose another temporary folder (TMPDIR).</source>
        <translation>Папка временных результатов анализа %1 принадлежит другому пользователю либо является ссылкой или файлом. Удалите её или выберите другую временную папку (TMPDIR).</translation>
    </message>
</context>
<context>
    <name>AnalysisResultSource</name>
    <message>
        <source>The requested frame is outside the analysis result.</source>
        <translation>Запрошенный кадр находится за пределами результата анализа.</translation>
    </message>
    <message>
        <source>The analysis result is not open for reading. Open it before seeking or reading frames.</source>
        <translation>Результат анализа не открыт для чтения. Откройте его перед переходом к кадрам или их чтением.</translation>
    </message>
    <message>
        <source>No analysis result is available.</source>
        <translation>Результат анализа отсутствует.</translation>
    </message>
</context>
<context>
    <name>Application</name>
    <message>
        <source>Video motion amplification for technical equipment.</source>
        <translation>Усиление движения на видео для технического оборудования.</translation>
    </message>
    <message>
        <source>Enable the local diagnostics endpoint in read-only mode.</source>
        <translation>Включить локальную точку диагностики в режиме только для чтения.</translation>
    </message>
    <message>
        <source>Allow the local diagnostics endpoint to change application state.</source>
        <translation>Разрешить локальной точке диагностики изменять состояние приложения.</translation>
    </message>
    <message>
        <source>A video file to open at start-up (optional).</source>
        <translation>Видеофайл, открываемый при запуске (необязательно).</translation>
    </message>
    <message>
        <source>Could not start the diagnostics endpoint: %1</source>
        <translation>Не удалось запустить точку диагностики: %1</translation>
    </message>
    <message>
        <source>The diagnostics endpoint is enabled for this application instance.</source>
        <translation>Точка диагностики включена для этого экземпляра приложения.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Run &apos;ovra-motion-cli %1 --help&apos; for usage.</source>
        <translation>Справка: &apos;ovra-motion-cli %1 --help&apos;.</translation>
    </message>
    <message>
        <source>  %1:%2 left</source>
        <translation>  осталось %1:%2</translation>
    </message>
    <message>
        <source>expected %1 argument(s), got %2.</source>
        <translation>ожидается аргументов: %1, получено: %2.</translation>
    </message>
    <message>
        <source>--%1 needs an integer, got &apos;%2&apos;.</source>
        <translation>--%1: нужно целое число, получено &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>Writes one upright frame of a video as a PNG image.</source>
        <translation>Записывает один кадр видео (с учётом поворота) в изображение PNG.</translation>
    </message>
    <message>
        <source>Zero-based frame index.</source>
        <translation>Номер кадра, считая с нуля.</translation>
    </message>
    <message>
        <source>PNG file to write.</source>
        <translation>Записываемый файл PNG.</translation>
    </message>
    <message>
        <source>--index and --output are required.</source>
        <translation>требуются параметры --index и --output.</translation>
    </message>
    <message>
        <source>The output file already exists and was not overwritten: %1</source>
        <translation>Выходной файл уже существует и не перезаписан: %1</translation>
    </message>
    <message>
        <source>The video ended before frame %1.</source>
        <translation>Видео закончилось раньше кадра %1.</translation>
    </message>
    <message>
        <source>Could not write the image file: %1</source>
        <translation>Не удалось записать файл изображения: %1</translation>
    </message>
    <message>
        <source>Analyses a video&apos;s time grid and prints its metadata as JSON.</source>
        <translation>Анализирует временную сетку видео и выводит его метаданные в JSON.</translation>
    </message>
    <message>
        <source>List every frame timestamp.</source>
        <translation>Вывести временные метки всех кадров.</translation>
    </message>
    <message>
        <source>Analysing</source>
        <translation>Анализ</translation>
    </message>
    <message>
        <source>Camera capture frame rate; required when the file does not carry it.</source>
        <translation>Частота кадров съёмки камеры; обязательна, если её нет в файле.</translation>
    </message>
    <message>
        <source>Frequency band in Hz (default 9:14).</source>
        <translation>Полоса частот в Гц (по умолчанию 9:14).</translation>
    </message>
    <message>
        <source>Shaft speed; with --harmonic and --half-width it sets the band.</source>
        <translation>Частота вращения вала, об/мин; вместе с --harmonic и --half-width задаёт полосу.</translation>
    </message>
    <message>
        <source>Harmonic of the shaft speed: 1, 2 or 3.</source>
        <translation>Гармоника частоты вращения вала: 1, 2 или 3.</translation>
    </message>
    <message>
        <source>Half width of the band around the harmonic, in percent.</source>
        <translation>Полуширина полосы вокруг гармоники, в процентах.</translation>
    </message>
    <message>
        <source>Amplification factor, 1 to 50 (default 5).</source>
        <translation>Коэффициент усиления, от 1 до 50 (по умолчанию 5).</translation>
    </message>
    <message>
        <source>Fragment [START, END) in frames (default: the whole uniform part).</source>
        <translation>Фрагмент [START, END) в кадрах (по умолчанию: вся равномерная часть).</translation>
    </message>
    <message>
        <source>Region of interest, normalised to the upright frame (default 0,0,1,1).</source>
        <translation>Область интереса в долях кадра с учётом поворота (по умолчанию 0,0,1,1).</translation>
    </message>
    <message>
        <source>Process the whole frame even for a small region.</source>
        <translation>Обрабатывать весь кадр даже при небольшой области.</translation>
    </message>
    <message>
        <source>Motion worker threads (default: automatic).</source>
        <translation>Рабочие потоки обработки движения (по умолчанию: автоматически).</translation>
    </message>
    <message>
        <source>File to write (never overwritten): H.264 MP4, or lossless FFV1 when it ends in .mkv.</source>
        <translation>Записываемый файл (никогда не перезаписывается): MP4 (H.264) или FFV1 без потерь, если имя оканчивается на .mkv.</translation>
    </message>
    <message>
        <source>H.264 quality, 0 to 100 (default 75); lossless output ignores it.</source>
        <translation>Качество H.264, от 0 до 100 (по умолчанию 75); при записи без потерь не учитывается.</translation>
    </message>
    <message>
        <source>--output is required.</source>
        <translation>требуется параметр --output.</translation>
    </message>
    <message>
        <source>--rpm, --harmonic and --half-width go together.</source>
        <translation>--rpm, --harmonic и --half-width задаются только вместе.</translation>
    </message>
    <message>
        <source>Give either --band or --rpm/--harmonic/--half-width, not both.</source>
        <translation>Укажите либо --band, либо --rpm/--harmonic/--half-width, но не то и другое сразу.</translation>
    </message>
    <message>
        <source>a numeric option has a value that is not a number.</source>
        <translation>у числового параметра значение не является числом.</translation>
    </message>
    <message>
        <source>--band needs LOW:HIGH in Hz, for example 9:14.</source>
        <translation>--band: нужно LOW:HIGH в Гц, например 9:14.</translation>
    </message>
    <message>
        <source>--frames needs START:END frame numbers, END exclusive.</source>
        <translation>--frames: нужны номера кадров START:END, END не включается.</translation>
    </message>
    <message>
        <source>--roi needs X,Y,W,H as fractions of the frame.</source>
        <translation>--roi: нужно X,Y,W,H в долях кадра.</translation>
    </message>
    <message>
        <source>--threads, --quality and --harmonic take whole numbers.</source>
        <translation>--threads, --quality и --harmonic принимают только целые числа.</translation>
    </message>
    <message>
        <source>Analysing source video</source>
        <translation>Анализ исходного видео</translation>
    </message>
    <message>
        <source>The file does not tell the camera&apos;s capture frame rate; give it with --capture-fps.</source>
        <translation>В файле не указана частота кадров съёмки камеры; задайте её параметром --capture-fps.</translation>
    </message>
    <message>
        <source>The number of worker threads must be between 0 (automatic) and %1.</source>
        <translation>Число рабочих потоков должно быть от 0 (автоматически) до %1.</translation>
    </message>
    <message>
        <source>Export quality must be between 0 and 100.</source>
        <translation>Качество экспорта должно быть от 0 до 100.</translation>
    </message>
    <message>
        <source>Warning: </source>
        <translation>Предупреждение: </translation>
    </message>
    <message>
        <source>Analyses a video, magnifies the motion in a frequency band and exports it as an H.264 MP4, or lossless FFV1 Matroska for an output ending in .mkv, with a JSON file of every parameter beside it.</source>
        <translation>Анализирует видео, усиливает движение в полосе частот и экспортирует результат в MP4 (H.264) или, если имя выходного файла оканчивается на .mkv, в Matroska (FFV1 без потерь) с файлом JSON всех параметров рядом.</translation>
    </message>
    <message>
        <source>The output file or its parameters file already exists and was not overwritten: %1</source>
        <translation>Выходной файл или его файл параметров уже существует и не перезаписан: %1</translation>
    </message>
    <message>
        <source>No command given.</source>
        <translation>Команда не указана.</translation>
    </message>
    <message>
        <source>Unknown command &apos;%1&apos;.</source>
        <translation>Неизвестная команда &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Widest frequency bin in Hz (default: a quarter of the fragment per segment).</source>
        <translation>Наибольшая ширина частотного интервала в Гц (по умолчанию: четверть фрагмента на сегмент).</translation>
    </message>
    <message>
        <source>Also write the whole spectrum as CSV (never overwritten).</source>
        <translation>Записать также весь спектр в CSV (существующий файл не перезаписывается).</translation>
    </message>
    <message>
        <source>The CSV file already exists and was not overwritten: %1</source>
        <translation>Файл CSV уже существует и не перезаписан: %1</translation>
    </message>
    <message>
        <source>No line rises above the noise floor.</source>
        <translation>Ни одна линия не поднимается выше уровня шума.</translation>
    </message>
    <message>
        <source>The motion spectrum was cancelled by the user.</source>
        <translation>Построение спектра движения отменено пользователем.</translation>
    </message>
    <message>
        <source>Measures how a region of a video moves over a fragment and prints the strongest lines of its motion spectrum: frequency in Hz of capture time, amplitude in pixels, direction in degrees (0 horizontal, 90 vertical).</source>
        <translation>Измеряет движение области видео на фрагменте и выводит сильнейшие линии его спектра: частоту в Гц времени съёмки, амплитуду в пикселях, направление в градусах (0 — по горизонтали, 90 — по вертикали).</translation>
    </message>
    <message>
        <source>--resolution needs a frequency in Hz above 0.</source>
        <translation>для --resolution нужна частота в Гц больше 0.</translation>
    </message>
    <message>
        <source>The video to take the frame from.</source>
        <translation>Видео, из которого взять кадр.</translation>
    </message>
    <message>
        <source>The video to analyse.</source>
        <translation>Видео для анализа.</translation>
    </message>
    <message>
        <source>The video whose motion to magnify.</source>
        <translation>Видео, движение в котором нужно усилить.</translation>
    </message>
    <message>
        <source>The video to measure.</source>
        <translation>Видео для измерения.</translation>
    </message>
    <message numerus="yes">
        <source>Processed %n frame(s) in %1: %2 frames/s, %3 % of the frame loop in motion processing.</source>
        <translation>
            <numerusform>Обработан %n кадр за %1: %2 кадр/с, обработка движения заняла %3 % времени цикла по кадрам.</numerusform>
            <numerusform>Обработано %n кадра за %1: %2 кадр/с, обработка движения заняла %3 % времени цикла по кадрам.</numerusform>
            <numerusform>Обработано %n кадров за %1: %2 кадр/с, обработка движения заняла %3 % времени цикла по кадрам.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n frame(s) at %1 frames/s: bins of %2 Hz up to %3 Hz, %4 segments, %5 tiles followed; median noise floor %6 px.</source>
        <translation>
            <numerusform>%n кадр при %1 кадр/с: интервалы по %2 Гц до %3 Гц, сегментов: %4, отслежено участков: %5; медианный уровень шума %6 пикс.</numerusform>
            <numerusform>%n кадра при %1 кадр/с: интервалы по %2 Гц до %3 Гц, сегментов: %4, отслежено участков: %5; медианный уровень шума %6 пикс.</numerusform>
            <numerusform>%n кадров при %1 кадр/с: интервалы по %2 Гц до %3 Гц, сегментов: %4, отслежено участков: %5; медианный уровень шума %6 пикс.</numerusform>
        </translation>
    </message>
    <message>
        <source>No usable band around harmonic %1 of %2 RPM with a half width of %3 %: the speed must be %5 to %6 RPM, the harmonic 1 to 3, the width between 0 and 100 %, and the band must stay below the Nyquist frequency of %4 Hz.</source>
        <translation>Нет допустимой полосы вокруг гармоники %1 для %2 об/мин при полуширине %3 %: частота вращения должна быть от %5 до %6 об/мин, гармоника — от 1 до 3, полуширина — от 0 до 100 %, а полоса должна лежать ниже частоты Найквиста %4 Гц.</translation>
    </message>
    <message>
        <source>PNG picture of the map to write (never overwritten).</source>
        <translation>Записываемое изображение карты в PNG (никогда не перезаписывается).</translation>
    </message>
    <message>
        <source>Also write every tile as CSV (never overwritten).</source>
        <translation>Также записать все участки в CSV (никогда не перезаписывается).</translation>
    </message>
    <message>
        <source>Frequency band in Hz of capture time.</source>
        <translation>Полоса частот в Гц времени съёмки.</translation>
    </message>
    <message>
        <source>Centre of the band in Hz, instead of --band.</source>
        <translation>Центр полосы в Гц, вместо --band.</translation>
    </message>
    <message>
        <source>Half width of the band around --frequency, in percent (default 10).</source>
        <translation>Полуширина полосы вокруг --frequency в процентах (по умолчанию 10).</translation>
    </message>
    <message>
        <source>Side of a tile in pixels (default: 64 tiles across the frame).</source>
        <translation>Сторона участка в пикселях (по умолчанию: 64 участка по ширине кадра).</translation>
    </message>
    <message>
        <source>Millimetres per pixel of the upright frame: amplitudes in mm and velocities in mm/s beside pixels.</source>
        <translation>Миллиметров на пиксель кадра с учётом поворота: амплитуды в мм и скорости в мм/с рядом с пикселями.</translation>
    </message>
    <message>
        <source>Give either --band or --frequency.</source>
        <translation>Задайте либо --band, либо --frequency.</translation>
    </message>
    <message>
        <source>--half-width goes with --frequency.</source>
        <translation>--half-width задаётся вместе с --frequency.</translation>
    </message>
    <message>
        <source>--frequency needs Hz and --half-width a percentage between 0 and 100.</source>
        <translation>--frequency: нужна частота в Гц, --half-width: процент от 0 до 100.</translation>
    </message>
    <message>
        <source>--scale needs millimetres per pixel above 0.</source>
        <translation>--scale: нужно число миллиметров на пиксель больше 0.</translation>
    </message>
    <message numerus="yes">
        <source>%n frame(s): %1 of %2 tiles textured, strongest at %3 Hz; median noise floor %4 px.</source>
        <translation>
            <numerusform>%n кадр: текстура в %1 из %2 участков, сильнее всего на %3 Гц; медианный уровень шума %4 пикс.</numerusform>
            <numerusform>%n кадра: текстура в %1 из %2 участков, сильнее всего на %3 Гц; медианный уровень шума %4 пикс.</numerusform>
            <numerusform>%n кадров: текстура в %1 из %2 участков, сильнее всего на %3 Гц; медианный уровень шума %4 пикс.</numerusform>
        </translation>
    </message>
    <message>
        <source>The vibration map was cancelled by the user.</source>
        <translation>Построение карты вибрации отменено пользователем.</translation>
    </message>
    <message>
        <source>Maps where in a region of a video the motion of a frequency band lives: a grid of tiles, each with its amplitude and direction, drawn over the fragment&apos;s first frame; prints the strongest tiles.</source>
        <translation>Строит карту того, где в области видео живёт движение полосы частот: сетка участков, у каждого амплитуда и направление, поверх первого кадра фрагмента; выводит сильнейшие участки.</translation>
    </message>
    <message>
        <source>The video to map.</source>
        <translation>Видео для построения карты.</translation>
    </message>
    <message>
        <source>Usage: ovra-motion-cli COMMAND [OPTIONS]

Video motion amplification for technical equipment, without a window.

Commands:
  probe FILE                               Analyse a video and print its metadata as JSON.
  frame FILE --index N --output OUT.png    Write one upright frame as PNG.
  process INPUT --output OUT.mp4 [...]     Magnify the motion in a band and export MP4 (or
                                           lossless .mkv) + JSON.
  spectrum INPUT [...]                     Print the strongest lines of a region&apos;s motion
                                           spectrum (optionally all of it as CSV).
  map INPUT --output MAP.png [...]         Map where a band&apos;s motion lives, tile by tile, as PNG
                                           (optionally CSV).

Run &apos;ovra-motion-cli COMMAND --help&apos; for the options of a command.
Set OVRA_FFMPEG_LOG=1 to see FFmpeg&apos;s own log lines.</source>
        <translation>Использование: ovra-motion-cli КОМАНДА [ПАРАМЕТРЫ]

Усиление движения на видео для технического оборудования, без окна.

Команды:
  probe FILE                               Проанализировать видео и вывести его метаданные в JSON.
  frame FILE --index N --output OUT.png    Записать один кадр (с учётом поворота) в PNG.
  process INPUT --output OUT.mp4 [...]     Усилить движение в полосе частот и экспортировать MP4
                                           (или .mkv без потерь) + JSON.
  spectrum INPUT [...]                     Вывести сильнейшие линии спектра движения области
                                           (и, по желанию, весь спектр в CSV).
  map INPUT --output MAP.png [...]         Карта того, где живёт движение полосы, по участкам,
                                           в PNG (по желанию и в CSV).

Параметры команды: &apos;ovra-motion-cli КОМАНДА --help&apos;.
Задайте OVRA_FFMPEG_LOG=1, чтобы видеть собственный журнал FFmpeg.</translation>
    </message>
    <message>
        <source>What the video shows: the result alone (default), or the source and the result side-by-side or stacked.</source>
        <translation>Что показывает видео: только результат (по умолчанию) или исходное видео и результат рядом (side-by-side) или одно над другим (stacked).</translation>
    </message>
    <message>
        <source>--layout takes result, side-by-side or stacked.</source>
        <translation>--layout принимает result, side-by-side или stacked.</translation>
    </message>
    <message>
        <source>--stabilize and --reference exclude each other.</source>
        <translation>--stabilize и --reference исключают друг друга.</translation>
    </message>
    <message>
        <source>--reference needs X,Y,W,H as fractions of the frame.</source>
        <translation>--reference требует X,Y,W,H в долях кадра.</translation>
    </message>
    <message>
        <source>Compensate the camera&apos;s motion against the whole frame.</source>
        <translation>Компенсировать движение камеры по всему кадру.</translation>
    </message>
    <message>
        <source>Compensate the camera&apos;s motion against this static region, normalised to the upright frame.</source>
        <translation>Компенсировать движение камеры по этой неподвижной области, в долях выпрямленного кадра.</translation>
    </message>
    <message>
        <source>Camera motion compensated: RMS %1 px, peak %2 px.</source>
        <translation>Движение камеры скомпенсировано: СКЗ %1 пикс., пик %2 пикс.</translation>
    </message>
</context>
<context>
    <name>ComparisonComposer</name>
    <message>
        <source>Source</source>
        <translation>Источник</translation>
    </message>
    <message>
        <source>Magnified ×%1, %2–%3 Hz</source>
        <translation>Усиление ×%1, %2–%3 Гц</translation>
    </message>
    <message>
        <source>The comparison layout or frame size is invalid.</source>
        <translation>Недопустимая компоновка сравнения или размер кадра.</translation>
    </message>
    <message>
        <source>Could not draw the labels of the comparison.</source>
        <translation>Не удалось нарисовать подписи сравнения.</translation>
    </message>
    <message>
        <source>The comparison is not prepared for frames of this size.</source>
        <translation>Сравнение не подготовлено для кадров такого размера.</translation>
    </message>
    <message>
        <source>Could not draw the comparison frame.</source>
        <translation>Не удалось нарисовать кадр сравнения.</translation>
    </message>
</context>
<context>
    <name>EmptySourceView</name>
    <message>
        <source>Embedded FFmpeg libraries are unavailable</source>
        <translation>Встроенные библиотеки FFmpeg недоступны</translation>
    </message>
    <message>
        <source>Cancelling video analysis…</source>
        <translation>Отмена анализа видео…</translation>
    </message>
    <message>
        <source>Analyzing video…</source>
        <translation>Анализ видео…</translation>
    </message>
    <message>
        <source>Video metadata is ready</source>
        <translation>Метаданные видео готовы</translation>
    </message>
    <message>
        <source>Could not analyze video</source>
        <translation>Не удалось проанализировать видео</translation>
    </message>
    <message>
        <source>Video analysis was cancelled</source>
        <translation>Анализ видео отменён</translation>
    </message>
    <message>
        <source>Drop a video here</source>
        <translation>Перетащите видео сюда</translation>
    </message>
    <message>
        <source>Waiting for metadata analysis to stop safely.</source>
        <translation>Ожидание безопасной остановки анализа метаданных.</translation>
    </message>
    <message>
        <source>Reading metadata and checking frame timestamps. The interface remains available.</source>
        <translation>Чтение метаданных и проверка временных меток кадров. Интерфейс остаётся доступным.</translation>
    </message>
    <message>
        <source>Metadata is ready. Frame playback will be connected in the next step.</source>
        <translation>Метаданные готовы. Воспроизведение кадров будет подключено на следующем шаге.</translation>
    </message>
    <message>
        <source>Choose this file again or open another video.</source>
        <translation>Выберите этот файл снова или откройте другое видео.</translation>
    </message>
    <message>
        <source>Choose an MP4, MOV or AVI file. The original file will remain unchanged.</source>
        <translation>Выберите файл MP4, MOV или AVI. Исходный файл останется без изменений.</translation>
    </message>
    <message>
        <source>Choose another file</source>
        <translation>Выбрать другой файл</translation>
    </message>
    <message>
        <source>Choose video</source>
        <translation>Выбрать видео</translation>
    </message>
    <message>
        <source>Open the system file dialog</source>
        <translation>Открыть системный диалог выбора файла</translation>
    </message>
    <message>
        <source>Cancelling…</source>
        <translation>Отмена…</translation>
    </message>
    <message>
        <source>Cancel analysis</source>
        <translation>Отменить анализ</translation>
    </message>
    <message>
        <source>Stop source video analysis</source>
        <translation>Остановить анализ исходного видео</translation>
    </message>
</context>
<context>
    <name>FilePublication</name>
    <message>
        <source>The file already exists and was not overwritten: %1</source>
        <translation>Файл уже существует и не перезаписан: %1</translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation>Не удалось записать %1: %2</translation>
    </message>
</context>
<context>
    <name>FrequencyHelperDialog</name>
    <message>
        <source>Frequency filter helper</source>
        <translation>Подбор полосы фильтра</translation>
    </message>
    <message>
        <source>Choose a filter band around the shaft rotation frequency: enter the speed, select a harmonic and half-width, then apply the band.</source>
        <translation>Выберите полосу фильтра вокруг частоты вращения вала: введите частоту вращения, выберите гармонику и полуширину, затем примените полосу.</translation>
    </message>
    <message>
        <source>Apply band changes the filter settings only. Close this helper, then choose Start analysis in Processing.</source>
        <translation>«Применить полосу» меняет только настройки фильтра. Закройте окно подбора и нажмите «Начать анализ» в окне «Обработка».</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>Open source video</source>
        <translation>Открыть исходное видео</translation>
    </message>
    <message>
        <source>Video files (*.mp4 *.mov *.avi)</source>
        <translation>Видеофайлы (*.mp4 *.mov *.avi)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Все файлы (*)</translation>
    </message>
    <message>
        <source>Save analysis result</source>
        <translation>Сохранить результат анализа</translation>
    </message>
    <message>
        <source>MP4 video (*.mp4)</source>
        <translation>Видео MP4 (*.mp4)</translation>
    </message>
    <message>
        <source>Lossless video (FFV1 Matroska, *.mkv)</source>
        <translation>Видео без потерь (FFV1 Matroska, *.mkv)</translation>
    </message>
    <message>
        <source>Unsaved analysis result</source>
        <translation>Несохранённый результат анализа</translation>
    </message>
    <message>
        <source>The analysis result has not been saved. Save it before continuing?</source>
        <translation>Результат анализа не сохранён. Сохранить его перед продолжением?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Не сохранять</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Сохранить</translation>
    </message>
    <message>
        <source>Operation in progress</source>
        <translation>Операция выполняется</translation>
    </message>
    <message>
        <source>Cancel the current operation and close the application after it stops?</source>
        <translation>Отменить текущую операцию и закрыть приложение после её остановки?</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Нет</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Да</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Motion analysis application</source>
        <translation>Приложение для анализа движения</translation>
    </message>
    <message>
        <source>OVRA</source>
        <translation>OVRA</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
</context>
<context>
    <name>MotionPanel</name>
    <message>
        <source>Motion amplification</source>
        <translation>Усиление движения</translation>
    </message>
    <message>
        <source>Choose a frequency band and amplification factor after the source is analyzed.</source>
        <translation>Выберите полосу частот и коэффициент усиления после анализа исходного видео.</translation>
    </message>
    <message>
        <source>Capture %1 FPS · Nyquist %2 Hz</source>
        <translation>Съёмка %1 кадр/с · Найквист %2 Гц</translation>
    </message>
    <message>
        <source>Capture frame rate is not set</source>
        <translation>Частота кадров съёмки не задана</translation>
    </message>
    <message>
        <source>Lower frequency</source>
        <translation>Нижняя частота</translation>
    </message>
    <message>
        <source>Hz</source>
        <translation>Гц</translation>
    </message>
    <message>
        <source>Upper frequency</source>
        <translation>Верхняя частота</translation>
    </message>
    <message>
        <source>Frequency band</source>
        <translation>Полоса частот</translation>
    </message>
    <message>
        <source>Hide spectrum</source>
        <translation>Скрыть спектр</translation>
    </message>
    <message>
        <source>Spectrum</source>
        <translation>Спектр</translation>
    </message>
    <message>
        <source>Measure how the selected region moves and find the frequencies it vibrates at.</source>
        <translation>Измерить движение выбранной области и найти частоты, на которых она колеблется.</translation>
    </message>
    <message>
        <source>Amplification</source>
        <translation>Усиление</translation>
    </message>
    <message>
        <source>Factor</source>
        <translation>крат</translation>
    </message>
    <message>
        <source>Vibration map</source>
        <translation>Карта вибраций</translation>
    </message>
    <message>
        <source>Show over the source video where the region moves within this band.</source>
        <translation>Показать поверх исходного видео, где область движется в этой полосе.</translation>
    </message>
</context>
<context>
    <name>MotionSpectrumAnalysis</name>
    <message>
        <source>Not enough memory for the motion spectrum.</source>
        <translation>Недостаточно памяти для спектра движения.</translation>
    </message>
    <message>
        <source>The fragment of %1 frames is too short for a resolution of %2 Hz at %3 frames/s: it needs at least %4 frames.</source>
        <translation>Фрагмент слишком короток для разрешения %2 Гц при %3 кадр/с: кадров в нём %1, а нужно не менее %4.</translation>
    </message>
    <message>
        <source>The fragment of %1 frames is too short for a motion spectrum: it needs at least %2 frames.</source>
        <translation>Фрагмент слишком короток для спектра движения: кадров в нём %1, а нужно не менее %2.</translation>
    </message>
</context>
<context>
    <name>ProcessingDialog</name>
    <message>
        <source>Analysis settings</source>
        <translation>Настройки анализа</translation>
    </message>
    <message>
        <source>Source recording frame rate</source>
        <translation>Частота кадров исходной записи</translation>
    </message>
    <message>
        <source>%1 FPS</source>
        <translation>%1 кадр/с</translation>
    </message>
    <message>
        <source>Capture frame rate</source>
        <translation>Частота кадров съёмки</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>кадр/с</translation>
    </message>
    <message>
        <source>Frequency filter</source>
        <translation>Частотный фильтр</translation>
    </message>
    <message>
        <source>%1–%2 Hz</source>
        <translation>%1–%2 Гц</translation>
    </message>
    <message>
        <source>Frequency filter helper…</source>
        <translation>Подбор полосы фильтра…</translation>
    </message>
    <message>
        <source>Amplification</source>
        <translation>Усиление</translation>
    </message>
    <message>
        <source>Factor: %1</source>
        <translation>Коэффициент: %1</translation>
    </message>
    <message>
        <source>Amplification factor</source>
        <translation>Коэффициент усиления</translation>
    </message>
    <message>
        <source>Computing resources</source>
        <translation>Вычислительные ресурсы</translation>
    </message>
    <message>
        <source>Frame processing</source>
        <translation>Обработка кадра</translation>
    </message>
    <message>
        <source>ROI: %1 × %2 px</source>
        <translation>Область: %1 × %2 пикс.</translation>
    </message>
    <message>
        <source>Optimization on</source>
        <translation>Оптимизация вкл.</translation>
    </message>
    <message>
        <source>Optimization off</source>
        <translation>Оптимизация выкл.</translation>
    </message>
    <message>
        <source>This section is available when a frame region is selected.</source>
        <translation>Этот раздел доступен, когда в кадре выделена область.</translation>
    </message>
    <message>
        <source>Optimize processing for selected region</source>
        <translation>Оптимизировать обработку под выделенную область</translation>
    </message>
    <message>
        <source>The selected region uses the configured amplification; the surrounding ring uses half.</source>
        <translation>В выделенной области применяется заданное усиление, в окружающем её кольце — половина.</translation>
    </message>
    <message>
        <source>The full frame will be processed.</source>
        <translation>Будет обработан весь кадр.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Start analysis</source>
        <translation>Начать анализ</translation>
    </message>
    <message numerus="yes">
        <source>Automatic · %n thread(s)</source>
        <translation>
            <numerusform>Автоматически · %n поток</numerusform>
            <numerusform>Автоматически · %n потока</numerusform>
            <numerusform>Автоматически · %n потоков</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Manual · %n thread(s)</source>
        <translation>
            <numerusform>Вручную · %n поток</numerusform>
            <numerusform>Вручную · %n потока</numerusform>
            <numerusform>Вручную · %n потоков</numerusform>
        </translation>
    </message>
    <message>
        <source>Whole frame</source>
        <translation>По всему кадру</translation>
    </message>
    <message>
        <source>Reference region</source>
        <translation>По опорной области</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Выкл.</translation>
    </message>
    <message>
        <source>Camera motion</source>
        <translation>Движение камеры</translation>
    </message>
    <message>
        <source>Edit reference region…</source>
        <translation>Изменить опорную область…</translation>
    </message>
    <message>
        <source>The camera&apos;s shake, measured over the whole frame, is taken out before amplification.</source>
        <translation>Дрожание камеры, измеренное по всему кадру, устраняется перед усилением.</translation>
    </message>
    <message>
        <source>The camera&apos;s shake, measured in the reference region, is taken out before amplification.</source>
        <translation>Дрожание камеры, измеренное в опорной области, устраняется перед усилением.</translation>
    </message>
    <message>
        <source>Frames are used as recorded, for a camera that stands firm.</source>
        <translation>Кадры используются как записаны — для неподвижно закреплённой камеры.</translation>
    </message>
</context>
<context>
    <name>ProcessingParametersWriter</name>
    <message>
        <source>The reserved staging JSON file is missing or is not empty.</source>
        <translation>Зарезервированный промежуточный файл JSON отсутствует или не пуст.</translation>
    </message>
    <message>
        <source>Could not open the staging JSON file: %1</source>
        <translation>Не удалось открыть промежуточный файл JSON: %1</translation>
    </message>
    <message>
        <source>Could not write the staging JSON file: %1</source>
        <translation>Не удалось записать промежуточный файл JSON: %1</translation>
    </message>
    <message>
        <source>The written staging JSON file is empty.</source>
        <translation>Записанный промежуточный файл JSON пуст.</translation>
    </message>
    <message>
        <source>Exception while writing the staging JSON file: %1</source>
        <translation>Исключение при записи промежуточного файла JSON: %1</translation>
    </message>
    <message>
        <source>Unknown exception while writing the staging JSON file.</source>
        <translation>Неизвестное исключение при записи промежуточного файла JSON.</translation>
    </message>
</context>
<context>
    <name>ProcessingSettingsController</name>
    <message>
        <source>Enter the camera capture frame rate before choosing the frequency band.</source>
        <translation>Прежде чем выбирать полосу частот, введите частоту кадров съёмки камеры.</translation>
    </message>
    <message>
        <source>The selected fragment contains irregular frame intervals. Select a verified uniform section.</source>
        <translation>В выбранном фрагменте интервалы между кадрами неравномерны. Выберите проверенный участок с равномерной сеткой.</translation>
    </message>
    <message>
        <source>Choose a valid analysis fragment.</source>
        <translation>Выберите допустимый фрагмент для анализа.</translation>
    </message>
    <message>
        <source>Choose a valid amplification region.</source>
        <translation>Выберите допустимую область усиления.</translation>
    </message>
    <message>
        <source>Rotation speed must be 0 or between %1 and %2 RPM.</source>
        <translation>Частота вращения должна быть равна 0 или лежать в диапазоне от %1 до %2 об/мин.</translation>
    </message>
    <message>
        <source>Lower frequency must be greater than 0 Hz.</source>
        <translation>Нижняя частота должна быть больше 0 Гц.</translation>
    </message>
    <message>
        <source>Upper frequency must be greater than lower frequency.</source>
        <translation>Верхняя частота должна быть больше нижней.</translation>
    </message>
    <message>
        <source>Upper frequency must be below the Nyquist frequency of %1 Hz.</source>
        <translation>Верхняя частота должна быть ниже частоты Найквиста (%1 Гц).</translation>
    </message>
    <message>
        <source>Amplification factor must be between 1 and 50.</source>
        <translation>Коэффициент усиления должен быть от 1 до 50.</translation>
    </message>
    <message>
        <source>The selected fragment is too short for this frequency band. Select at least %1 frames.</source>
        <translation>Выбранный фрагмент слишком короткий для этой полосы частот. Выберите больше кадров: не менее %1.</translation>
    </message>
    <message numerus="yes">
        <source>The fragment is shorter than the recommended %1 frames: the frequency filter has little time to settle, so results are less reliable. It holds %n whole period(s) of the lower band edge, and the first of them is less reliable than the rest.</source>
        <translation>
            <numerusform>Фрагмент короче рекомендуемой длины (кадров: %1): частотный фильтр не успевает установиться, поэтому результаты менее надёжны. Фрагмент содержит %n полный период нижней границы полосы, а первый период всегда менее надёжен, чем последующие.</numerusform>
            <numerusform>Фрагмент короче рекомендуемой длины (кадров: %1): частотный фильтр не успевает установиться, поэтому результаты менее надёжны. Фрагмент содержит %n полных периода нижней границы полосы, а первый период всегда менее надёжен, чем последующие.</numerusform>
            <numerusform>Фрагмент короче рекомендуемой длины (кадров: %1): частотный фильтр не успевает установиться, поэтому результаты менее надёжны. Фрагмент содержит %n полных периодов нижней границы полосы, а первый период всегда менее надёжен, чем последующие.</numerusform>
        </translation>
    </message>
    <message>
        <source>The selected band is close to Nyquist; reliable frequency separation may be poor.</source>
        <translation>Выбранная полоса близка к частоте Найквиста; надёжно разделить частоты может не получиться.</translation>
    </message>
    <message>
        <source>High amplification may produce visible artifacts.</source>
        <translation>Сильное усиление может вызвать заметные артефакты.</translation>
    </message>
    <message>
        <source>An amplification factor of 1 leaves motion unchanged.</source>
        <translation>При коэффициенте усиления 1 движение не изменяется.</translation>
    </message>
</context>
<context>
    <name>RegionEditor</name>
    <message>
        <source>The region is too small.</source>
        <translation>Область слишком мала.</translation>
    </message>
    <message>
        <source>The region is invalid.</source>
        <translation>Недопустимая область.</translation>
    </message>
    <message>
        <source>Amplification region</source>
        <translation>Область усиления</translation>
    </message>
    <message>
        <source>Drag to draw the amplification region.</source>
        <translation>Нарисуйте область усиления, перетаскивая указатель.</translation>
    </message>
    <message>
        <source>Editing amplification region · Click outside or Enter to finish · Esc to cancel</source>
        <translation>Изменение области усиления · Щелчок вне её или Enter — готово · Esc — отмена</translation>
    </message>
    <message>
        <source>Reference</source>
        <translation>Опорная</translation>
    </message>
    <message>
        <source>Drag to draw the reference region over something that stands still.</source>
        <translation>Перетащите, чтобы выделить опорную область на неподвижном объекте.</translation>
    </message>
    <message>
        <source>Editing reference region · Click outside or Enter to finish · Esc to cancel</source>
        <translation>Изменение опорной области · Щелчок вне её или Enter — готово · Esc — отмена</translation>
    </message>
</context>
<context>
    <name>ResourcesPanel</name>
    <message>
        <source>Computing resources</source>
        <translation>Вычислительные ресурсы</translation>
    </message>
    <message>
        <source>Choose how many worker threads the motion processor may use.</source>
        <translation>Укажите, сколько рабочих потоков может использовать обработка движения.</translation>
    </message>
    <message>
        <source>Automatic (recommended)</source>
        <translation>Автоматически (рекомендуется)</translation>
    </message>
    <message>
        <source>Manual worker count</source>
        <translation>Число потоков вручную</translation>
    </message>
    <message>
        <source>threads</source>
        <translation>потоки</translation>
    </message>
    <message>
        <source>Available logical processors</source>
        <translation>Доступно логических процессоров</translation>
    </message>
    <message>
        <source>Worker threads in use</source>
        <translation>Используется рабочих потоков</translation>
    </message>
    <message>
        <source>The worker count is selected automatically for the available CPU.</source>
        <translation>Число потоков выбирается автоматически под доступный процессор.</translation>
    </message>
    <message>
        <source>The selected worker count will be used for motion processing.</source>
        <translation>Для обработки движения будет использовано выбранное число потоков.</translation>
    </message>
    <message numerus="yes">
        <source>%n thread(s)</source>
        <translation>
            <numerusform>%n поток</numerusform>
            <numerusform>%n потока</numerusform>
            <numerusform>%n потоков</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ResultViewport</name>
    <message>
        <source>Analysis result</source>
        <translation>Результат анализа</translation>
    </message>
    <message>
        <source>Save analysis result</source>
        <translation>Сохранить результат анализа</translation>
    </message>
    <message>
        <source>Cancelling analysis…</source>
        <translation>Отмена анализа…</translation>
    </message>
    <message>
        <source>Analyzing selected fragment…</source>
        <translation>Анализ выбранного фрагмента…</translation>
    </message>
    <message>
        <source>No analysis result yet</source>
        <translation>Результата анализа пока нет</translation>
    </message>
    <message>
        <source>Use Processing to configure and start analysis. Save the finished result with the icon above.</source>
        <translation>Настройте и запустите анализ в окне «Обработка». Сохраните готовый результат значком вверху.</translation>
    </message>
    <message>
        <source>%1%</source>
        <translation>%1%</translation>
    </message>
    <message>
        <source>Settings changed. The displayed result keeps its original analysis parameters.</source>
        <translation>Настройки изменены. Показанный результат сохраняет исходные параметры анализа.</translation>
    </message>
    <message>
        <source>Layout of the saved video</source>
        <translation>Компоновка сохраняемого видео</translation>
    </message>
    <message>
        <source>Layout of the saved video: the result alone, or the source beside or above it</source>
        <translation>Компоновка сохраняемого видео: только результат или исходное видео рядом с ним или над ним</translation>
    </message>
    <message>
        <source>Camera motion: RMS %1 px, peak %2 px</source>
        <translation>Движение камеры: СКЗ %1 пикс., пик %2 пикс.</translation>
    </message>
</context>
<context>
    <name>RotationPanel</name>
    <message>
        <source>Rotation speed</source>
        <translation>Частота вращения</translation>
    </message>
    <message>
        <source>Reference harmonics are calculated from entered shaft speed and are not measurements.</source>
        <translation>Опорные гармоники рассчитываются по введённой частоте вращения вала и не являются результатами измерений.</translation>
    </message>
    <message>
        <source>Shaft speed</source>
        <translation>Частота вращения вала</translation>
    </message>
    <message>
        <source>RPM</source>
        <translation>об/мин</translation>
    </message>
    <message>
        <source>1× is RPM / 60; 2× and 3× are two and three times that frequency. Half-width extends the band by the entered percentage on each side of its center.</source>
        <translation>1× = об/мин / 60; 2× и 3× — удвоенная и утроенная эта частота. Полуширина расширяет полосу на заданный процент в каждую сторону от её центра.</translation>
    </message>
    <message>
        <source>1×</source>
        <translation>1×</translation>
    </message>
    <message>
        <source>2×</source>
        <translation>2×</translation>
    </message>
    <message>
        <source>3×</source>
        <translation>3×</translation>
    </message>
    <message>
        <source>Harmonic</source>
        <translation>Гармоника</translation>
    </message>
    <message>
        <source>Band half-width</source>
        <translation>Полуширина полосы</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>Apply band</source>
        <translation>Применить полосу</translation>
    </message>
    <message>
        <source>Calculated band: %1–%2 Hz · Center: %3 Hz</source>
        <translation>Расчётная полоса: %1–%2 Гц · Центр: %3 Гц</translation>
    </message>
    <message>
        <source>Calculated band: enter a valid shaft speed.</source>
        <translation>Расчётная полоса: введите допустимую частоту вращения вала.</translation>
    </message>
    <message>
        <source>The calculated band must be above zero and below the Nyquist frequency.</source>
        <translation>Расчётная полоса должна лежать выше нуля и ниже частоты Найквиста.</translation>
    </message>
    <message>
        <source>Current filter band: %1–%2 Hz</source>
        <translation>Текущая полоса фильтра: %1–%2 Гц</translation>
    </message>
    <message>
        <source>Harmonic cards below refer to the current filter band, not the calculated band above.</source>
        <translation>Карточки гармоник ниже относятся к текущей полосе фильтра, а не к расчётной полосе выше.</translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Гц</translation>
    </message>
    <message>
        <source>Not calculated</source>
        <translation>Не рассчитано</translation>
    </message>
    <message>
        <source>Above Nyquist</source>
        <translation>Выше Найквиста</translation>
    </message>
    <message>
        <source>In selected band</source>
        <translation>В выбранной полосе</translation>
    </message>
    <message>
        <source>Outside selected band</source>
        <translation>Вне выбранной полосы</translation>
    </message>
    <message>
        <source>How to choose the band</source>
        <translation>Как выбрать полосу</translation>
    </message>
    <message>
        <source>Example: 600 RPM gives 1× = 10 Hz. A 10% half-width gives 9–11 Hz (10 Hz ± 1 Hz).</source>
        <translation>Пример: 600 об/мин дают 1× = 10 Гц. Полуширина 10% даёт 9–11 Гц (10 Гц ± 1 Гц).</translation>
    </message>
    <message>
        <source>In selected band: the reference harmonic lies within the current filter. Outside selected band: it is outside the current filter. Above Nyquist: it reaches or exceeds the capture-rate limit.</source>
        <translation>В выбранной полосе: опорная гармоника лежит в пределах текущего фильтра. Вне выбранной полосы: она вне текущего фильтра. Выше Найквиста: она достигает предела, заданного частотой кадров съёмки, или превышает его.</translation>
    </message>
    <message>
        <source>Nyquist frequency is half the capture frame rate. The entire filter band must be above zero and strictly below this limit. Check the capture rate in the first section of Processing.</source>
        <translation>Частота Найквиста равна половине частоты кадров съёмки. Вся полоса фильтра должна лежать выше нуля и строго ниже этого предела. Проверьте частоту кадров съёмки в первом разделе окна «Обработка».</translation>
    </message>
</context>
<context>
    <name>ScaleEditor</name>
    <message>
        <source>Scale: %1 mm per pixel, typed.</source>
        <translation>Масштаб: %1 мм на пиксель, введён вручную.</translation>
    </message>
    <message>
        <source>Scale: %1 mm per pixel, from the line.</source>
        <translation>Масштаб: %1 мм на пиксель, по линии.</translation>
    </message>
    <message>
        <source>No scale: amplitudes are given in pixels.</source>
        <translation>Масштаб не задан: амплитуды даются в пикселях.</translation>
    </message>
    <message>
        <source>Millimetres per pixel</source>
        <translation>Миллиметров на пиксель</translation>
    </message>
    <message>
        <source>mm/px</source>
        <translation>мм/пикс.</translation>
    </message>
    <message>
        <source>Length of the line</source>
        <translation>Длина линии</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>мм</translation>
    </message>
    <message>
        <source>Type the scale, or drag a line over something of known length on the frame and type its length. Arrow keys move the line, with Shift its second end; Enter or a click outside finishes.</source>
        <translation>Введите масштаб или проведите на кадре линию вдоль предмета известной длины и введите эту длину. Стрелки сдвигают линию, с Shift — её второй конец; Enter или щелчок вне линии завершают.</translation>
    </message>
    <message>
        <source>Clear scale</source>
        <translation>Сбросить масштаб</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
</context>
<context>
    <name>ScaleLineEditor</name>
    <message>
        <source>%1 mm over %2 px</source>
        <translation>%1 мм на %2 пикс.</translation>
    </message>
    <message>
        <source>%1 px</source>
        <translation>%1 пикс.</translation>
    </message>
</context>
<context>
    <name>SourceFrameFeed</name>
    <message>
        <source>A result came out without its source frame.</source>
        <translation>Кадр результата получен без исходного кадра.</translation>
    </message>
    <message>
        <source>The source video ended before the saved result.</source>
        <translation>Исходное видео закончилось раньше сохранённого результата.</translation>
    </message>
</context>
<context>
    <name>SourcePanel</name>
    <message>
        <source>Not available</source>
        <translation>Нет данных</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Источник</translation>
    </message>
    <message>
        <source>Stopping metadata analysis safely.</source>
        <translation>Безопасная остановка анализа метаданных.</translation>
    </message>
    <message>
        <source>Reading metadata and validating the frame time grid.</source>
        <translation>Чтение метаданных и проверка временной сетки кадров.</translation>
    </message>
    <message>
        <source>Metadata analysis completed.</source>
        <translation>Анализ метаданных завершён.</translation>
    </message>
    <message>
        <source>The source video could not be analyzed.</source>
        <translation>Не удалось проанализировать исходное видео.</translation>
    </message>
    <message>
        <source>Metadata analysis was cancelled.</source>
        <translation>Анализ метаданных отменён.</translation>
    </message>
    <message>
        <source>Open a source video to inspect its recording parameters.</source>
        <translation>Откройте исходное видео, чтобы увидеть параметры записи.</translation>
    </message>
    <message>
        <source>Cancelling…</source>
        <translation>Отмена…</translation>
    </message>
    <message>
        <source>Analyzing…</source>
        <translation>Анализ…</translation>
    </message>
    <message>
        <source>Capture frame rate is not available in this file. Enter the camera recording rate to calculate physical time and vibration frequencies.</source>
        <translation>В этом файле нет частоты кадров съёмки. Введите частоту кадров записи камеры, чтобы рассчитать реальное время и частоты вибрации.</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Файл</translation>
    </message>
    <message>
        <source>Not selected</source>
        <translation>Не выбран</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Путь</translation>
    </message>
    <message>
        <source>Container</source>
        <translation>Контейнер</translation>
    </message>
    <message>
        <source>Video codec</source>
        <translation>Видеокодек</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>Разрешение</translation>
    </message>
    <message>
        <source>%1 × %2 px</source>
        <translation>%1 × %2 пикс.</translation>
    </message>
    <message>
        <source>Frames</source>
        <translation>Кадров</translation>
    </message>
    <message>
        <source>Slow-motion capture frame rate</source>
        <translation>Частота кадров скоростной съёмки</translation>
    </message>
    <message>
        <source>Capture frame rate</source>
        <translation>Частота кадров съёмки</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>%1 FPS</source>
        <translation>%1 кадр/с</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Вручную</translation>
    </message>
    <message>
        <source>Metadata</source>
        <translation>Из метаданных</translation>
    </message>
    <message>
        <source>Not reported</source>
        <translation>Не указана</translation>
    </message>
    <message>
        <source>Time grid</source>
        <translation>Временная сетка</translation>
    </message>
    <message>
        <source>Variable</source>
        <translation>Переменная</translation>
    </message>
    <message>
        <source>Constant</source>
        <translation>Постоянная</translation>
    </message>
</context>
<context>
    <name>SourceViewport</name>
    <message>
        <source>Source video</source>
        <translation>Исходное видео</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Параметры</translation>
    </message>
    <message>
        <source>Finish region editing</source>
        <translation>Завершить изменение области</translation>
    </message>
    <message>
        <source>Select amplification region</source>
        <translation>Выделить область усиления</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Use full frame</source>
        <translation>Весь кадр</translation>
    </message>
    <message>
        <source>Cancelling analysis…</source>
        <translation>Отмена анализа…</translation>
    </message>
    <message>
        <source>Analyzing source video…</source>
        <translation>Анализ исходного видео…</translation>
    </message>
    <message>
        <source>Preparing video playback…</source>
        <translation>Подготовка воспроизведения…</translation>
    </message>
    <message>
        <source>Retry playback</source>
        <translation>Повторить</translation>
    </message>
    <message>
        <source>Finish the measurement scale</source>
        <translation>Завершить задание масштаба</translation>
    </message>
    <message>
        <source>Measurement scale</source>
        <translation>Масштаб измерений</translation>
    </message>
    <message>
        <source>Hide vibration map</source>
        <translation>Скрыть карту вибраций</translation>
    </message>
    <message>
        <source>Show vibration map</source>
        <translation>Показать карту вибраций</translation>
    </message>
    <message>
        <source>Select the reference region for camera motion</source>
        <translation>Выбрать опорную область для движения камеры</translation>
    </message>
    <message>
        <source>Show the source as recorded</source>
        <translation>Показать исходное видео как записано</translation>
    </message>
    <message>
        <source>Show the stabilized source</source>
        <translation>Показать стабилизированное исходное видео</translation>
    </message>
</context>
<context>
    <name>SpectrumPlot</name>
    <message>
        <source>Amplitude, px</source>
        <translation>Амплитуда, пикс.</translation>
    </message>
    <message>
        <source>Peak %1</source>
        <translation>Пик %1</translation>
    </message>
    <message>
        <source>%1×</source>
        <translation>%1×</translation>
    </message>
    <message>
        <source>Frequency, Hz</source>
        <translation>Частота, Гц</translation>
    </message>
    <message>
        <source>%1 Hz · %2 px · %3°</source>
        <translation>%1 Гц · %2 пикс. · %3°</translation>
    </message>
</context>
<context>
    <name>SpectrumView</name>
    <message>
        <source>%1 · %2 %</source>
        <translation>%1 · %2 %</translation>
    </message>
    <message>
        <source>Analyze the motion of the selected fragment and region to find its frequencies.</source>
        <translation>Проанализируйте движение выбранного фрагмента и области, чтобы найти его частоты.</translation>
    </message>
    <message>
        <source>The fragment, region or capture frame rate changed after this spectrum was made. Analyze again to update it.</source>
        <translation>Фрагмент, область или частота кадров съёмки изменились после построения спектра. Проанализируйте заново, чтобы обновить его.</translation>
    </message>
    <message>
        <source>Resolution %1 Hz · %2 frames · %3 segments</source>
        <translation>Разрешение %1 Гц · кадров: %2 · сегментов: %3</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Analyze again</source>
        <translation>Анализировать заново</translation>
    </message>
    <message>
        <source>Analyze</source>
        <translation>Анализировать</translation>
    </message>
    <message>
        <source>Motion</source>
        <translation>Движение</translation>
    </message>
    <message>
        <source>Noise floor</source>
        <translation>Уровень шума</translation>
    </message>
    <message>
        <source>Shaft harmonics</source>
        <translation>Гармоники вала</translation>
    </message>
    <message>
        <source>Current band</source>
        <translation>Текущая полоса</translation>
    </message>
    <message>
        <source>No peak rises above the noise floor.</source>
        <translation>Ни один пик не поднимается выше уровня шума.</translation>
    </message>
    <message>
        <source>Peaks, strongest first. Click one to set the band to ±%1 % around it.</source>
        <translation>Пики, начиная с самого сильного. Щёлкните пик, чтобы задать полосу ±%1 % вокруг него.</translation>
    </message>
    <message>
        <source>The band around %1 Hz must be above zero and below the Nyquist frequency.</source>
        <translation>Полоса вокруг %1 Гц должна быть выше нуля и ниже частоты Найквиста.</translation>
    </message>
    <message>
        <source>Save CSV…</source>
        <translation>Сохранить CSV…</translation>
    </message>
    <message>
        <source>Write every bin of the spectrum, with millimetres when a scale is set</source>
        <translation>Записать все интервалы спектра, с миллиметрами, если задан масштаб</translation>
    </message>
    <message>
        <source>Save spectrum as CSV</source>
        <translation>Сохранить спектр в CSV</translation>
    </message>
    <message>
        <source>CSV table (*.csv)</source>
        <translation>Таблица CSV (*.csv)</translation>
    </message>
    <message>
        <source>Spot around the clicked tile · resolution %1 Hz · %2 frames</source>
        <translation>Окрестность выбранного участка · разрешение %1 Гц · кадров: %2</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>Карта</translation>
    </message>
    <message>
        <source>Show where the picture vibrates at this peak</source>
        <translation>Показать, где изображение вибрирует на частоте этого пика</translation>
    </message>
</context>
<context>
    <name>StabilizedVideoSource</name>
    <message>
        <source>The camera motion cannot be measured: the reference region has no texture to follow.</source>
        <translation>Движение камеры не удаётся измерить: в опорной области нет текстуры, за которой можно следить.</translation>
    </message>
</context>
<context>
    <name>StatusBar</name>
    <message>
        <source>%1% · %2</source>
        <translation>%1% · %2</translation>
    </message>
    <message>
        <source>%1%</source>
        <translation>%1%</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Открыть папку</translation>
    </message>
</context>
<context>
    <name>StatusText</name>
    <message>
        <source>%1 left</source>
        <translation>осталось %1</translation>
    </message>
</context>
<context>
    <name>TileMotionMeasurement</name>
    <message>
        <source>The camera capture frame rate is required before motion can be measured.</source>
        <translation>Для измерения движения нужна частота кадров съёмки камеры.</translation>
    </message>
    <message>
        <source>Choose a valid fragment of evenly spaced frames.</source>
        <translation>Выберите допустимый фрагмент с равномерными интервалами между кадрами.</translation>
    </message>
    <message>
        <source>Choose a region of at least %1 x %1 pixels.</source>
        <translation>Выберите область размером не менее %1 x %1 пикселей.</translation>
    </message>
    <message>
        <source>The region has no texture whose motion can be measured.</source>
        <translation>В области нет текстуры, по которой можно измерить движение.</translation>
    </message>
    <message>
        <source>Measuring motion</source>
        <translation>Измерение движения</translation>
    </message>
</context>
<context>
    <name>Timeline</name>
    <message>
        <source>In: frame %1</source>
        <translation>Начало: кадр %1</translation>
    </message>
    <message>
        <source>Out: frame %1</source>
        <translation>Конец: кадр %1</translation>
    </message>
</context>
<context>
    <name>TopBar</name>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Open video</source>
        <translation>Открыть видео</translation>
    </message>
    <message>
        <source>No video selected</source>
        <translation>Видео не выбрано</translation>
    </message>
    <message>
        <source>Processing</source>
        <translation>Обработка</translation>
    </message>
    <message>
        <source>Configure analysis of the selected fragment</source>
        <translation>Настроить анализ выбранного фрагмента</translation>
    </message>
</context>
<context>
    <name>TransportBar</name>
    <message>
        <source>Pause video</source>
        <translation>Пауза</translation>
    </message>
    <message>
        <source>Play selection</source>
        <translation>Воспроизвести фрагмент</translation>
    </message>
    <message>
        <source>Previous frame</source>
        <translation>Предыдущий кадр</translation>
    </message>
    <message>
        <source>Next frame</source>
        <translation>Следующий кадр</translation>
    </message>
    <message>
        <source>Frame %1 / %2</source>
        <translation>Кадр %1 / %2</translation>
    </message>
    <message>
        <source>Start moved to frame %1: irregular timing at the beginning.</source>
        <translation>Начало перенесено на кадр %1: в начале записи интервалы между кадрами неравномерны.</translation>
    </message>
    <message numerus="yes">
        <source>Selected: %n frame(s)</source>
        <translation>
            <numerusform>Выбран %n кадр</numerusform>
            <numerusform>Выбрано %n кадра</numerusform>
            <numerusform>Выбрано %n кадров</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>VibrationMapAnalysis</name>
    <message numerus="yes">
        <source>The fragment of %n frame(s) is too short to map a band from %1 Hz at %2 frames/s: it needs at least %3 frames.</source>
        <translation>
            <numerusform>Фрагмент из %n кадра слишком короток для карты полосы от %1 Гц при %2 кадр/с: нужно не менее %3 кадров.</numerusform>
            <numerusform>Фрагмент из %n кадров слишком короток для карты полосы от %1 Гц при %2 кадр/с: нужно не менее %3 кадров.</numerusform>
            <numerusform>Фрагмент из %n кадров слишком короток для карты полосы от %1 Гц при %2 кадр/с: нужно не менее %3 кадров.</numerusform>
        </translation>
    </message>
    <message>
        <source>Choose tiles of at least %1 pixels.</source>
        <translation>Выберите участки размером не менее %1 пикселей.</translation>
    </message>
    <message>
        <source>Not enough memory for the vibration map.</source>
        <translation>Недостаточно памяти для карты вибрации.</translation>
    </message>
</context>
<context>
    <name>VibrationMapExport</name>
    <message>
        <source>Frames %1–%2 at %3 frames/s</source>
        <translation>Кадры %1–%2 при %3 кадр/с</translation>
    </message>
    <message>
        <source>Band %1–%2 Hz, strongest at %3 Hz</source>
        <translation>Полоса %1–%2 Гц, сильнее всего на %3 Гц</translation>
    </message>
    <message>
        <source>No scale: amplitudes in pixels</source>
        <translation>Без масштаба: амплитуды в пикселях</translation>
    </message>
    <message>
        <source>Scale %1 mm per pixel, typed</source>
        <translation>Масштаб %1 мм на пиксель, введён вручную</translation>
    </message>
    <message>
        <source>Scale %1 mm per pixel, from a line of known length</source>
        <translation>Масштаб %1 мм на пиксель, по линии известной длины</translation>
    </message>
    <message>
        <source>0 to %1; no data left clear</source>
        <translation>от 0 до %1; без данных — не закрашено</translation>
    </message>
</context>
<context>
    <name>VibrationMapOverlay</name>
    <message>
        <source>Click for the spectrum of this spot</source>
        <translation>Щелкните, чтобы увидеть спектр этого участка</translation>
    </message>
    <message>
        <source>Vibration map · %1</source>
        <translation>Карта вибраций · %1</translation>
    </message>
    <message>
        <source>Vibration map</source>
        <translation>Карта вибраций</translation>
    </message>
    <message>
        <source>0 to %1</source>
        <translation>от 0 до %1</translation>
    </message>
    <message>
        <source>Tiles without texture have no data and stay clear.</source>
        <translation>Участки без текстуры не измерены и не закрашены.</translation>
    </message>
    <message>
        <source>%1 · %2 %</source>
        <translation>%1 · %2 %</translation>
    </message>
    <message>
        <source>The video, fragment, region or band changed after this map was made. Map again to update it.</source>
        <translation>Видео, фрагмент, область или полоса изменились после построения карты. Постройте ее заново, чтобы обновить.</translation>
    </message>
    <message>
        <source>Opacity</source>
        <translation>Непрозрачность</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Map again</source>
        <translation>Построить заново</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Экспорт…</translation>
    </message>
    <message>
        <source>Save the map as a PNG picture and its tiles as a CSV table beside it</source>
        <translation>Сохранить карту как изображение PNG, а ее участки — как таблицу CSV рядом с ним</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Скрыть</translation>
    </message>
</context>
<context>
    <name>VideoProcessingPipeline</name>
    <message>
        <source>Processing was cancelled by the user.</source>
        <translation>Обработка отменена пользователем.</translation>
    </message>
    <message>
        <source>There is not enough memory to process the video.</source>
        <translation>Недостаточно памяти для обработки видео.</translation>
    </message>
    <message>
        <source>The system could not start a thread for processing: %1</source>
        <translation>Системе не удалось запустить поток для обработки: %1</translation>
    </message>
    <message>
        <source>The input and output video paths are required.</source>
        <translation>Необходимо указать пути к входному и выходному видео.</translation>
    </message>
    <message>
        <source>Invalid analysis destination.</source>
        <translation>Недопустимое место сохранения результата анализа.</translation>
    </message>
    <message>
        <source>An output path matches the input file or a result file already exists.</source>
        <translation>Выходной путь совпадает с входным файлом, или файл результата уже существует.</translation>
    </message>
    <message>
        <source>Opening source video</source>
        <translation>Открытие исходного видео</translation>
    </message>
    <message>
        <source>The camera capture frame rate is required before motion processing.</source>
        <translation>Перед обработкой движения необходимо задать частоту кадров съёмки камеры.</translation>
    </message>
    <message>
        <source>The saved result does not match its frame range.</source>
        <translation>Сохранённый результат не соответствует своему диапазону кадров.</translation>
    </message>
    <message>
        <source>The selected fragment contains irregular frame intervals. Select a verified uniform section.</source>
        <translation>В выбранном фрагменте интервалы между кадрами неравномерны. Выберите проверенный участок с равномерной сеткой.</translation>
    </message>
    <message>
        <source>The selected frame range is invalid.</source>
        <translation>Выбранный диапазон кадров недопустим.</translation>
    </message>
    <message>
        <source>The selected time range is invalid.</source>
        <translation>Выбранный временной интервал недопустим.</translation>
    </message>
    <message>
        <source>The time range contains no frames after alignment to frame boundaries.</source>
        <translation>После выравнивания по границам кадров во временном интервале не осталось кадров.</translation>
    </message>
    <message>
        <source>Processing frames</source>
        <translation>Обработка кадров</translation>
    </message>
    <message>
        <source>The number of frames returned by motion processing does not match the input.</source>
        <translation>Число кадров после обработки движения не совпадает с числом входных кадров.</translation>
    </message>
    <message>
        <source>The decoder reached the end of the stream before the calculated end of the time range.</source>
        <translation>Декодер достиг конца потока раньше расчётного конца временного интервала.</translation>
    </message>
    <message>
        <source>Finalizing the analysis result</source>
        <translation>Завершение результата анализа</translation>
    </message>
    <message>
        <source>A final output file appeared during processing; publishing was cancelled.</source>
        <translation>Во время обработки появился итоговый выходной файл; публикация отменена.</translation>
    </message>
    <message>
        <source>Finalizing the staging video file</source>
        <translation>Завершение промежуточного видеофайла</translation>
    </message>
    <message>
        <source>Publishing the result</source>
        <translation>Публикация результата</translation>
    </message>
    <message>
        <source>Could not publish the JSON file: %1</source>
        <translation>Не удалось опубликовать файл JSON: %1</translation>
    </message>
    <message>
        <source>Preparing the parameters file</source>
        <translation>Подготовка файла параметров</translation>
    </message>
    <message>
        <source>Could not roll back the published video %1: %2</source>
        <translation>Не удалось отозвать опубликованное видео %1: %2</translation>
    </message>
</context>
<context>
    <name>VideoWatermarkRenderer</name>
    <message>
        <source>The watermark frame size is invalid.</source>
        <translation>Недопустимый размер кадра для водяного знака.</translation>
    </message>
    <message>
        <source>Could not prepare the video watermark.</source>
        <translation>Не удалось подготовить водяной знак видео.</translation>
    </message>
    <message>
        <source>Could not allocate the video watermark image.</source>
        <translation>Не удалось выделить память под изображение водяного знака.</translation>
    </message>
    <message>
        <source>Could not draw the video watermark.</source>
        <translation>Не удалось нарисовать водяной знак видео.</translation>
    </message>
    <message>
        <source>The watermark renderer is not configured for this frame.</source>
        <translation>Отрисовка водяного знака не настроена для этого кадра.</translation>
    </message>
</context>
<context>
    <name>WorkspacePage</name>
    <message>
        <source>Video parameters</source>
        <translation>Параметры видео</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Spectrum of the spot</source>
        <translation>Спектр участка</translation>
    </message>
    <message>
        <source>Export vibration map</source>
        <translation>Экспорт карты вибраций</translation>
    </message>
    <message>
        <source>PNG picture with a CSV table beside it (*.png)</source>
        <translation>Изображение PNG с таблицей CSV рядом (*.png)</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::AnalysisController</name>
    <message>
        <source>Save or discard the current result before starting another analysis.</source>
        <translation>Перед новым анализом сохраните текущий результат или откажитесь от него.</translation>
    </message>
    <message>
        <source>Source playback and FFmpeg must be ready before starting analysis.</source>
        <translation>Перед запуском анализа должны быть готовы воспроизведение исходного видео и FFmpeg.</translation>
    </message>
    <message>
        <source>Pause playback and wait until video navigation is ready before starting analysis.</source>
        <translation>Перед запуском анализа приостановите воспроизведение и дождитесь готовности навигации по видео.</translation>
    </message>
    <message>
        <source>Preparing analysis result</source>
        <translation>Подготовка результата анализа</translation>
    </message>
    <message>
        <source>Cancelling analysis result</source>
        <translation>Отмена получения результата анализа</translation>
    </message>
    <message>
        <source>Analysis result is ready</source>
        <translation>Результат анализа готов</translation>
    </message>
    <message>
        <source>Analysis result failed</source>
        <translation>Ошибка получения результата анализа</translation>
    </message>
    <message>
        <source>Could not prepare the analysis result for playback.</source>
        <translation>Не удалось подготовить результат анализа к воспроизведению.</translation>
    </message>
    <message>
        <source>Analysis result was cancelled</source>
        <translation>Получение результата анализа отменено</translation>
    </message>
    <message>
        <source>Could not create the analysis result.</source>
        <translation>Не удалось получить результат анализа.</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::ExportController</name>
    <message>
        <source>Choose where to save the processed MP4 file.</source>
        <translation>Выберите, куда сохранить обработанный файл MP4.</translation>
    </message>
    <message>
        <source>The processed video must use the .mp4 or the lossless .mkv extension.</source>
        <translation>Обработанное видео должно иметь расширение .mp4 или .mkv (без потерь).</translation>
    </message>
    <message>
        <source>The destination folder does not exist.</source>
        <translation>Папка назначения не существует.</translation>
    </message>
    <message>
        <source>The destination folder is not writable.</source>
        <translation>Нет прав на запись в папку назначения.</translation>
    </message>
    <message>
        <source>The output file must differ from the source video.</source>
        <translation>Выходной файл должен отличаться от исходного видео.</translation>
    </message>
    <message>
        <source>The selected output file already exists.</source>
        <translation>Выбранный выходной файл уже существует.</translation>
    </message>
    <message>
        <source>The export parameters file already exists.</source>
        <translation>Файл параметров экспорта уже существует.</translation>
    </message>
    <message>
        <source>Choose a local MP4 file.</source>
        <translation>Выберите локальный файл MP4.</translation>
    </message>
    <message>
        <source>Wait until the current export finishes.</source>
        <translation>Дождитесь завершения текущего экспорта.</translation>
    </message>
    <message>
        <source>Destination is ready</source>
        <translation>Место сохранения готово</translation>
    </message>
    <message>
        <source>Create an analysis result before saving.</source>
        <translation>Перед сохранением получите результат анализа.</translation>
    </message>
    <message>
        <source>Pause playback and wait until video processing is ready before exporting.</source>
        <translation>Перед экспортом приостановите воспроизведение и дождитесь готовности обработки видео.</translation>
    </message>
    <message>
        <source>Preparing processed video export</source>
        <translation>Подготовка экспорта обработанного видео</translation>
    </message>
    <message>
        <source>Cancelling processed video export</source>
        <translation>Отмена экспорта обработанного видео</translation>
    </message>
    <message>
        <source>Processed video was saved</source>
        <translation>Обработанное видео сохранено</translation>
    </message>
    <message>
        <source>Processed video export was cancelled</source>
        <translation>Экспорт обработанного видео отменён</translation>
    </message>
    <message>
        <source>Processed video export failed</source>
        <translation>Ошибка экспорта обработанного видео</translation>
    </message>
    <message>
        <source>Could not export the processed video.</source>
        <translation>Не удалось экспортировать обработанное видео.</translation>
    </message>
    <message>
        <source>Result only</source>
        <extracomment>What a saved video shows: the result alone, the source beside it, or the source above it.</extracomment>
        <translation>Только результат</translation>
    </message>
    <message>
        <source>Side by side</source>
        <translation>Рядом</translation>
    </message>
    <message>
        <source>Stacked</source>
        <translation>Одно над другим</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::MeasurementScaleController</name>
    <message>
        <source>Type the scale as millimetres per pixel above 0.</source>
        <translation>Введите масштаб в миллиметрах на пиксель больше 0.</translation>
    </message>
    <message>
        <source>Open a video before drawing a line over it.</source>
        <translation>Откройте видео, прежде чем проводить на нём линию.</translation>
    </message>
    <message>
        <source>The line must lie inside the frame.</source>
        <translation>Линия должна лежать внутри кадра.</translation>
    </message>
    <message>
        <source>The line is too short: draw it over at least one pixel.</source>
        <translation>Линия слишком коротка: проведите её длиной не менее одного пикселя.</translation>
    </message>
    <message>
        <source>Type the length of the line in millimetres above 0.</source>
        <translation>Введите длину линии в миллиметрах больше 0.</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::PlaybackController</name>
    <message>
        <source>The frame range of the analysis result is invalid.</source>
        <translation>Недопустимый диапазон кадров результата анализа.</translation>
    </message>
    <message>
        <source>Source video contains no decodable frames.</source>
        <translation>В исходном видео нет кадров, которые можно декодировать.</translation>
    </message>
    <message>
        <source>Source video playback failed.</source>
        <translation>Ошибка воспроизведения исходного видео.</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::PlaybackWorker</name>
    <message>
        <source>Could not decode the matching frame of the analysis result.</source>
        <translation>Не удалось декодировать соответствующий кадр результата анализа.</translation>
    </message>
    <message>
        <source>The frame range of the analysis result is invalid.</source>
        <translation>Недопустимый диапазон кадров результата анализа.</translation>
    </message>
    <message>
        <source>Could not prepare source video playback.</source>
        <translation>Не удалось подготовить воспроизведение исходного видео.</translation>
    </message>
    <message>
        <source>Could not seek to the requested video frame.</source>
        <translation>Не удалось перейти к запрошенному кадру видео.</translation>
    </message>
    <message>
        <source>Could not decode the next video frame.</source>
        <translation>Не удалось декодировать следующий кадр видео.</translation>
    </message>
    <message>
        <source>Playback of the analysis result failed.</source>
        <translation>Не удалось воспроизвести результат анализа.</translation>
    </message>
    <message>
        <source>Could not open the analysis result.</source>
        <translation>Не удалось открыть результат анализа.</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::ProcessingSettingsController</name>
    <message>
        <source>Open and analyze a source video.</source>
        <translation>Откройте исходное видео и проанализируйте его.</translation>
    </message>
    <message>
        <source>A processing request is required.</source>
        <translation>Необходим запрос на обработку.</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::SpectrumController</name>
    <message>
        <source>Preparing motion spectrum</source>
        <translation>Подготовка спектра движения</translation>
    </message>
    <message>
        <source>Cancelling motion spectrum</source>
        <translation>Отмена спектра движения</translation>
    </message>
    <message>
        <source>Could not analyze the motion spectrum.</source>
        <translation>Не удалось построить спектр движения.</translation>
    </message>
    <message>
        <source>%1 %2 · %3 mm/s</source>
        <translation>%1 %2 · %3 мм/с</translation>
    </message>
    <message>
        <source>µm</source>
        <translation>мкм</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>мм</translation>
    </message>
    <message>
        <source>Spectrum saved to %1</source>
        <translation>Спектр сохранён в %1</translation>
    </message>
    <message>
        <source>Choose a local file for the spectrum.</source>
        <translation>Выберите локальный файл для спектра.</translation>
    </message>
    <message>
        <source>Analyze the spectrum before saving it.</source>
        <translation>Постройте спектр, прежде чем сохранять его.</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::StatusLine</name>
    <message>
        <source>Cancelling result saving…</source>
        <translation>Отмена сохранения результата…</translation>
    </message>
    <message>
        <source>Saving analysis result…</source>
        <translation>Сохранение результата анализа…</translation>
    </message>
    <message>
        <source>Cancelling source video analysis…</source>
        <translation>Отмена анализа исходного видео…</translation>
    </message>
    <message>
        <source>Analyzing source video…</source>
        <translation>Анализ исходного видео…</translation>
    </message>
    <message>
        <source>Cancelling analysis…</source>
        <translation>Отмена анализа…</translation>
    </message>
    <message>
        <source>Analyzing selected fragment…</source>
        <translation>Анализ выбранного фрагмента…</translation>
    </message>
    <message>
        <source>Preparing analysis result playback…</source>
        <translation>Подготовка воспроизведения результата…</translation>
    </message>
    <message>
        <source>Preparing video frame…</source>
        <translation>Подготовка кадра…</translation>
    </message>
    <message>
        <source>Starting playback…</source>
        <translation>Запуск воспроизведения…</translation>
    </message>
    <message>
        <source>Pausing playback…</source>
        <translation>Приостановка воспроизведения…</translation>
    </message>
    <message>
        <source>Saving the result failed</source>
        <translation>Не удалось сохранить результат</translation>
    </message>
    <message>
        <source>Video analysis cancelled</source>
        <translation>Анализ видео отменён</translation>
    </message>
    <message>
        <source>Playing selected fragment</source>
        <translation>Воспроизведение выбранного фрагмента</translation>
    </message>
    <message>
        <source>Result saved: %1</source>
        <translation>Результат сохранён: %1</translation>
    </message>
    <message>
        <source>Analysis settings have changed</source>
        <translation>Настройки анализа изменены</translation>
    </message>
    <message>
        <source>Analysis result is ready</source>
        <translation>Результат анализа готов</translation>
    </message>
    <message>
        <source>Source video is ready</source>
        <translation>Исходное видео готово</translation>
    </message>
    <message>
        <source>Ready to open a video</source>
        <translation>Можно открыть видео</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::VibrationMapController</name>
    <message>
        <source>%1–%2 Hz, strongest at %3 Hz</source>
        <translation>%1–%2 Гц, сильнее всего на %3 Гц</translation>
    </message>
    <message>
        <source>%1 px</source>
        <translation>%1 пикс.</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>No data: too little texture to measure</source>
        <translation>Нет данных: слишком мало текстуры для измерения</translation>
    </message>
    <message>
        <source>%1 along %2°</source>
        <translation>%1 вдоль %2°</translation>
    </message>
    <message>
        <source>Preparing vibration map</source>
        <translation>Подготовка карты вибраций</translation>
    </message>
    <message>
        <source>Cancelling vibration map</source>
        <translation>Отмена построения карты вибраций</translation>
    </message>
    <message>
        <source>Could not map the vibration.</source>
        <translation>Не удалось построить карту вибраций.</translation>
    </message>
    <message>
        <source>Make a vibration map before exporting it.</source>
        <translation>Сначала постройте карту вибраций, затем экспортируйте ее.</translation>
    </message>
    <message>
        <source>Choose a local .png file for the map&apos;s picture.</source>
        <translation>Выберите локальный файл .png для изображения карты.</translation>
    </message>
    <message>
        <source>The file already exists and was not overwritten: %1</source>
        <translation>Файл уже существует и не был перезаписан: %1</translation>
    </message>
    <message>
        <source>Saved %1 and %2</source>
        <translation>Сохранены %1 и %2</translation>
    </message>
</context>
<context>
    <name>ovra::ui::controllers::VideoSessionController</name>
    <message>
        <source>Save or discard the current analysis result before opening another video.</source>
        <translation>Перед открытием другого видео сохраните текущий результат анализа или откажитесь от него.</translation>
    </message>
    <message>
        <source>No video file was selected.</source>
        <translation>Видеофайл не выбран.</translation>
    </message>
    <message>
        <source>Only local video files can be analyzed.</source>
        <translation>Анализировать можно только локальные видеофайлы.</translation>
    </message>
    <message>
        <source>The system&apos;s FFmpeg libraries are unavailable.</source>
        <translation>Системные библиотеки FFmpeg недоступны.</translation>
    </message>
    <message>
        <source>Video analysis failed.</source>
        <translation>Не удалось проанализировать видео.</translation>
    </message>
</context>
</TS>
