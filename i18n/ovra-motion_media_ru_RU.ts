<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>LibavRuntime</name>
    <message>
        <source>The system&apos;s FFmpeg libraries do not match the versions %1 was built with.</source>
        <translation>Версии системных библиотек FFmpeg не совпадают с теми, с которыми собрана программа %1.</translation>
    </message>
</context>
<context>
    <name>LibavVideoAnalyzer</name>
    <message>
        <source>Video analysis was cancelled.</source>
        <translation>Анализ видео отменён.</translation>
    </message>
    <message>
        <source>Could not allocate the FFmpeg input context.</source>
        <translation>Не удалось выделить входной контекст FFmpeg.</translation>
    </message>
    <message>
        <source>Could not open the video through FFmpeg libraries: %1</source>
        <translation>Не удалось открыть видео средствами библиотек FFmpeg: %1</translation>
    </message>
    <message>
        <source>Could not read video stream information: %1</source>
        <translation>Не удалось прочитать сведения о видеопотоке: %1</translation>
    </message>
    <message>
        <source>No supported video stream was found in the input file.</source>
        <translation>Во входном файле не найден поддерживаемый видеопоток.</translation>
    </message>
    <message>
        <source>Could not allocate the FFmpeg decoder context.</source>
        <translation>Не удалось выделить контекст декодера FFmpeg.</translation>
    </message>
    <message>
        <source>Could not start time-grid analysis: %1</source>
        <translation>Не удалось начать анализ временной сетки: %1</translation>
    </message>
    <message>
        <source>FFmpeg frame buffers are unavailable.</source>
        <translation>Буферы кадров FFmpeg недоступны.</translation>
    </message>
    <message>
        <source>Could not read the video time grid: %1</source>
        <translation>Не удалось прочитать временную сетку видео: %1</translation>
    </message>
    <message>
        <source>Could not submit a frame for time-grid analysis: %1</source>
        <translation>Не удалось передать кадр на анализ временной сетки: %1</translation>
    </message>
    <message>
        <source>Could not finish time-grid analysis: %1</source>
        <translation>Не удалось завершить анализ временной сетки: %1</translation>
    </message>
    <message>
        <source>Could not decode the video time grid: %1</source>
        <translation>Не удалось декодировать временную сетку видео: %1</translation>
    </message>
    <message>
        <source>No input video file was specified.</source>
        <translation>Входной видеофайл не указан.</translation>
    </message>
    <message>
        <source>The FFmpeg libraries could not determine the video size, duration, or frame rate.</source>
        <translation>Библиотеки FFmpeg не смогли определить размер, длительность или частоту кадров видео.</translation>
    </message>
</context>
<context>
    <name>LibavVideoSink</name>
    <message>
        <source>Video encoding was cancelled.</source>
        <translation>Кодирование видео отменено.</translation>
    </message>
    <message>
        <source>Finalizing the video was cancelled.</source>
        <translation>Завершение видео отменено.</translation>
    </message>
    <message>
        <source>The output file appeared during processing; the existing file was not overwritten.</source>
        <translation>Выходной файл появился во время обработки; существующий файл не перезаписан.</translation>
    </message>
    <message>
        <source>The output file was not specified or already exists.</source>
        <translation>Выходной файл не указан или уже существует.</translation>
    </message>
    <message>
        <source>The frame size or frame rate is unknown for export.</source>
        <translation>Для экспорта неизвестен размер кадра или частота кадров.</translation>
    </message>
    <message>
        <source>The requested video output format is unsupported.</source>
        <translation>Запрошенный выходной формат видео не поддерживается.</translation>
    </message>
    <message>
        <source>Export quality must be between 0 and 100.</source>
        <translation>Качество экспорта должно быть от 0 до 100.</translation>
    </message>
    <message>
        <source>The output directory does not exist.</source>
        <translation>Выходная папка не существует.</translation>
    </message>
    <message>
        <source>Starting video encoding was cancelled.</source>
        <translation>Запуск кодирования видео отменён.</translation>
    </message>
    <message>
        <source>The system&apos;s FFmpeg libraries have no supported H.264 encoder.</source>
        <translation>В системных библиотеках FFmpeg нет поддерживаемого кодера H.264.</translation>
    </message>
    <message>
        <source>The system&apos;s FFmpeg libraries have no FFV1 encoder.</source>
        <translation>В системных библиотеках FFmpeg нет кодера FFV1.</translation>
    </message>
    <message>
        <source>Could not create the FFmpeg output context: %1</source>
        <translation>Не удалось создать выходной контекст FFmpeg: %1</translation>
    </message>
    <message>
        <source>Could not allocate FFmpeg encoder buffers.</source>
        <translation>Не удалось выделить буферы кодера FFmpeg.</translation>
    </message>
    <message>
        <source>Could not represent the output frame rate.</source>
        <translation>Не удалось представить выходную частоту кадров.</translation>
    </message>
    <message>
        <source>Could not start the FFmpeg video encoder: %1</source>
        <translation>Не удалось запустить видеокодер FFmpeg: %1</translation>
    </message>
    <message>
        <source>Could not configure the output video stream: %1</source>
        <translation>Не удалось настроить выходной видеопоток: %1</translation>
    </message>
    <message>
        <source>Could not allocate the output video frame: %1</source>
        <translation>Не удалось выделить выходной видеокадр: %1</translation>
    </message>
    <message>
        <source>Could not initialize video color conversion.</source>
        <translation>Не удалось инициализировать преобразование цвета видео.</translation>
    </message>
    <message>
        <source>Could not open the output video file: %1</source>
        <translation>Не удалось открыть выходной видеофайл: %1</translation>
    </message>
    <message>
        <source>Could not write the output video header: %1</source>
        <translation>Не удалось записать заголовок выходного видео: %1</translation>
    </message>
    <message>
        <source>The video sink is not open or the frame is invalid.</source>
        <translation>Приёмник видео не открыт или кадр недопустим.</translation>
    </message>
    <message>
        <source>The exported frame size differs from the source frame size.</source>
        <translation>Размер экспортируемого кадра отличается от размера исходного кадра.</translation>
    </message>
    <message>
        <source>Could not convert the frame for export.</source>
        <translation>Не удалось преобразовать кадр для экспорта.</translation>
    </message>
    <message>
        <source>Could not prepare the output frame: %1</source>
        <translation>Не удалось подготовить выходной кадр: %1</translation>
    </message>
    <message>
        <source>FFmpeg did not convert the complete output frame.</source>
        <translation>FFmpeg преобразовал выходной кадр не полностью.</translation>
    </message>
    <message>
        <source>Could not submit the output frame for encoding: %1</source>
        <translation>Не удалось передать выходной кадр на кодирование: %1</translation>
    </message>
    <message>
        <source>The video encoder did not finish after flushing.</source>
        <translation>Видеокодер не завершил работу после сброса буферов.</translation>
    </message>
    <message>
        <source>Could not receive an encoded video packet: %1</source>
        <translation>Не удалось получить закодированный видеопакет: %1</translation>
    </message>
    <message>
        <source>Could not write an encoded video packet: %1</source>
        <translation>Не удалось записать закодированный видеопакет: %1</translation>
    </message>
    <message>
        <source>The video sink is not open.</source>
        <translation>Приёмник видео не открыт.</translation>
    </message>
    <message>
        <source>Could not flush the video encoder: %1</source>
        <translation>Не удалось сбросить буферы видеокодера: %1</translation>
    </message>
    <message>
        <source>Could not finalize the output video: %1</source>
        <translation>Не удалось завершить выходное видео: %1</translation>
    </message>
    <message>
        <source>FFmpeg did not create a non-empty video file.</source>
        <translation>FFmpeg не создал непустой видеофайл.</translation>
    </message>
    <message>
        <source>Could not safely assign the final video file name: %1</source>
        <translation>Не удалось безопасно присвоить итоговое имя видеофайлу: %1</translation>
    </message>
</context>
<context>
    <name>LibavVideoSource</name>
    <message>
        <source>Video decoding was cancelled.</source>
        <translation>Декодирование видео отменено.</translation>
    </message>
    <message>
        <source>The video source is not open or no frame output was provided.</source>
        <translation>Источник видео не открыт или не передан приёмник кадра.</translation>
    </message>
    <message>
        <source>Could not allocate the FFmpeg input context.</source>
        <translation>Не удалось выделить входной контекст FFmpeg.</translation>
    </message>
    <message>
        <source>Could not open the video through FFmpeg libraries: %1</source>
        <translation>Не удалось открыть видео средствами библиотек FFmpeg: %1</translation>
    </message>
    <message>
        <source>Could not read video stream information: %1</source>
        <translation>Не удалось прочитать сведения о видеопотоке: %1</translation>
    </message>
    <message>
        <source>The file contains no video stream supported by this FFmpeg build.</source>
        <translation>В файле нет видеопотока, поддерживаемого этой сборкой FFmpeg.</translation>
    </message>
    <message>
        <source>Could not allocate the FFmpeg decoder context.</source>
        <translation>Не удалось выделить контекст декодера FFmpeg.</translation>
    </message>
    <message>
        <source>Could not configure the FFmpeg decoder: %1</source>
        <translation>Не удалось настроить декодер FFmpeg: %1</translation>
    </message>
    <message>
        <source>Could not start the FFmpeg decoder: %1</source>
        <translation>Не удалось запустить декодер FFmpeg: %1</translation>
    </message>
    <message>
        <source>Could not allocate FFmpeg frame buffers.</source>
        <translation>Не удалось выделить буферы кадров FFmpeg.</translation>
    </message>
    <message>
        <source>Could not seek through the FFmpeg libraries: %1</source>
        <translation>Не удалось выполнить переход средствами библиотек FFmpeg: %1</translation>
    </message>
    <message>
        <source>FFmpeg could not read the next video packet: %1</source>
        <translation>FFmpeg не удалось прочитать следующий видеопакет: %1</translation>
    </message>
    <message>
        <source>FFmpeg could not submit a video packet to the decoder: %1</source>
        <translation>FFmpeg не удалось передать видеопакет декодеру: %1</translation>
    </message>
    <message>
        <source>FFmpeg could not flush the video decoder: %1</source>
        <translation>FFmpeg не удалось сбросить буферы видеодекодера: %1</translation>
    </message>
    <message>
        <source>FFmpeg could not return a decoded frame: %1</source>
        <translation>FFmpeg не удалось вернуть декодированный кадр: %1</translation>
    </message>
    <message>
        <source>The prepared video metadata is incomplete or unsupported.</source>
        <translation>Подготовленные метаданные видео неполны или не поддерживаются.</translation>
    </message>
    <message>
        <source>Starting video decoding was cancelled.</source>
        <translation>Запуск декодирования видео отменён.</translation>
    </message>
    <message>
        <source>This video uses an unsupported non-right-angle display rotation.</source>
        <translation>В видео задан неподдерживаемый поворот изображения на угол, не кратный 90°.</translation>
    </message>
    <message>
        <source>Decoded video dimensions do not match the analyzed metadata.</source>
        <translation>Размеры декодированного видео не совпадают с проанализированными метаданными.</translation>
    </message>
    <message>
        <source>The video file is not open.</source>
        <translation>Видеофайл не открыт.</translation>
    </message>
    <message>
        <source>The seek position is outside the video.</source>
        <translation>Позиция перехода находится за пределами видео.</translation>
    </message>
    <message>
        <source>The frame index is outside the video.</source>
        <translation>Номер кадра находится за пределами видео.</translation>
    </message>
    <message>
        <source>FFmpeg returned a decoded frame with invalid dimensions.</source>
        <translation>FFmpeg вернул декодированный кадр с недопустимыми размерами.</translation>
    </message>
    <message>
        <source>Could not allocate memory for the decoded frame.</source>
        <translation>Не удалось выделить память для декодированного кадра.</translation>
    </message>
    <message>
        <source>Could not prepare FFmpeg pixel conversion.</source>
        <translation>Не удалось подготовить преобразование пикселей FFmpeg.</translation>
    </message>
    <message>
        <source>The decoded frame row is too large for FFmpeg pixel conversion.</source>
        <translation>Строка декодированного кадра слишком велика для преобразования пикселей FFmpeg.</translation>
    </message>
    <message>
        <source>FFmpeg could not convert the decoded frame to RGBA.</source>
        <translation>FFmpeg не удалось преобразовать декодированный кадр в RGBA.</translation>
    </message>
    <message>
        <source>The decoded frame does not match the expected display size.</source>
        <translation>Декодированный кадр не соответствует ожидаемому размеру отображения.</translation>
    </message>
</context>
<context>
    <name>StagingFile</name>
    <message>
        <source>The output directory does not exist: %1</source>
        <translation>Выходная папка не существует: %1</translation>
    </message>
    <message>
        <source>Could not create a staging file in %1: %2</source>
        <translation>Не удалось создать промежуточный файл в %1: %2</translation>
    </message>
    <message>
        <source>Could not choose a unique staging file name in %1.</source>
        <translation>Не удалось подобрать уникальное имя промежуточного файла в %1.</translation>
    </message>
    <message>
        <source>A temporary file may remain at %1: %2</source>
        <translation>Временный файл мог остаться по пути %1: %2</translation>
    </message>
</context>
</TS>
