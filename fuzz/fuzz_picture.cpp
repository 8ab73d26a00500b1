// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the bytes as a picture in the media folder, read the way the
// window reads it.
#include "fuzz_input.h"
#include "picture_reader.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The image format plugins are found through the application; no window
    // is ever shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    Fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    static Fuzz::InputFile file("picture.jpg");
    const QString path = file.write(data, size);
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
    const QImage image = readPicture(path, &error);
    Fuzz::require(image.sizeInBytes() <= qsizetype(PictureAllocationLimitMB) * 1024 * 1024,
                  "a picture larger than the allocation limit is decoded");
    // Which decoder took it, what it made of it, or why not.
    Fuzz::countOutcome({qint64(qHash(QImageReader::imageFormat(path))), error, image.format(),
                        Fuzz::magnitude(image.width()), Fuzz::magnitude(image.height())});
    return 0;
}
