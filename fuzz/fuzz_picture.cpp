// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the bytes as a picture in a media folder, read the two ways
// the programs read it: whole, as the child's window shows it; fitted into a
// tile, as the recorder shows the family's and the school's pictures; and as
// a photo a grown-up chooses.
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
    constexpr qsizetype Limit = qsizetype(KeyMedia::PictureAllocationLimitMB) * 1024 * 1024;
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
    const QImage image = KeyMedia::readPicture(path, &error);
    Fuzz::require(image.sizeInBytes() <= Limit, "a picture larger than the allocation limit is decoded");
    // Which decoder took it, what it made of it, or why not.
    Fuzz::countOutcome({qint64(qHash(QImageReader::imageFormat(path))), error, image.format(),
                        Fuzz::magnitude(image.width()), Fuzz::magnitude(image.height())});

    // A tile of the recorder's, and a picture a grown-up chooses.
    for (const bool chosen : {false, true}) {
        constexpr QSize Box{96, 48};
        const QImage fitted =
            chosen ? KeyMedia::readChosenPicture(path, &error, Box) : KeyMedia::readPicture(path, &error, Box);
        Fuzz::require(fitted.sizeInBytes() <= Limit, "a fitted picture larger than the allocation limit is decoded");
        Fuzz::require(fitted.width() <= Box.width() && fitted.height() <= Box.height(),
                      "a fitted picture is larger than its box");
    }
    return 0;
}
