// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzz targets' seeds into FOLDER/clip and FOLDER/picture: small
// recordings and pictures of every kind a family's tools may write, and the
// damaged kinds the tests make. The media pack is read from its own folder.
#include "sound_player.h"
#include "test_support.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <numbers>

using namespace Qt::StringLiterals;
using namespace TestSupport;

namespace {

bool save(const QString &folder, const QString &name, const QByteArray &bytes)
{
    if (writeFile(folder + u'/' + name, bytes))
        return true;
    std::fprintf(stderr, "cannot write %s/%s\n", qPrintable(folder), qPrintable(name));
    return false;
}

// A short tone in a format libsndfile writes; false when this libsndfile
// cannot write that format (then there is no seed of it).
bool writeTone(const QString &path, int format, int channels, int rate)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info))
        return false;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<double> samples;
    for (int frame = 0; frame < rate / 20; ++frame)
        samples.insert(samples.end(), size_t(channels), 0.5 * std::sin(2 * std::numbers::pi * 440 * frame / rate));
    sf_write_double(file, samples.data(), sf_count_t(samples.size()));
    sf_close(file);
    return true;
}

bool writeClips(const QString &folder)
{
    const QByteArray tenth = frames(2205, {1000});
    const struct {
        const char *name;
        QByteArray bytes;
    } damaged[] = {
        {"stereo.wav", pcm(2, 44100, frames(441, {3000, -1000}))},
        {"8-bit.wav", wav(1, 1, 8000, 8, QByteArray(800, char(0xC0)), 800)},
        {"zero-bytes.wav", QByteArray()},
        {"truncated-header.wav", pcm(1, 22050, tenth).left(20)},
        {"truncated-data.wav", pcm(1, 22050, tenth).left(44 + 2000)},
        {"no-data.wav", pcm(1, 22050, QByteArray())},
        {"not-a-wav.wav", QByteArray("Ciao! This is a letter, not a recording.")},
        {"unknown-encoding.wav", wav(0x1234, 1, 22050, 16, tenth, quint32(tenth.size()))},
        {"claims-gigabytes.wav", wav(1, 1, 22050, 16, tenth, 0xFFFFFF00u)},
        {"absurd-rate.wav", pcm(1, 4000000, tenth)},
        // Longer than any recording should be, in few bytes: 8-bit at the
        // lowest rate the player takes.
        {"too-long.wav",
         wav(1, 1, 1000, 8, QByteArray(1000 * (MaxClipSeconds + 1), char(0xC0)), 1000 * (MaxClipSeconds + 1))},
    };
    for (const auto &seed : damaged) {
        if (!save(folder, QString::fromLatin1(seed.name), seed.bytes))
            return false;
    }

    const struct {
        const char *name;
        int format;
        int channels;
        int rate;
    } tones[] = {
        {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 8000},
        {"24-bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 48000},
        {"32-bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1, 96000},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100},
        {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 1, 22050},
        {"extensible-6ch.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 6, 48000},
        {"extensible-float.wav", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 2, 48000},
        {"ulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 1, 8000},
        {"alaw.wav", SF_FORMAT_WAV | SF_FORMAT_ALAW, 1, 8000},
        {"ima-adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1, 22050},
        {"ms-adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 2, 22050},
        {"gsm610.wav", SF_FORMAT_WAV | SF_FORMAT_GSM610, 1, 8000},
        {"g721.wav", SF_FORMAT_WAV | SF_FORMAT_G721_32, 1, 8000},
        {"aiff.wav", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 22050},
        {"au.wav", SF_FORMAT_AU | SF_FORMAT_PCM_16, 1, 22050},
        {"caf.wav", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 1, 22050},
        {"w64.wav", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 1, 22050},
        {"rf64.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 1, 22050},
        {"flac.wav", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100},
        {"vorbis.wav", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 44100},
        {"opus.wav", SF_FORMAT_OGG | SF_FORMAT_OPUS, 1, 48000},
        {"mp3.wav", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 1, 44100},
    };
    for (const auto &tone : tones) {
        const QString path = folder + u'/' + QString::fromLatin1(tone.name);
        if (!writeTone(path, tone.format, tone.channels, tone.rate))
            std::fprintf(stderr, "no seed %s: this libsndfile does not write it\n", tone.name);
    }
    return true;
}

bool writePictures(const QString &folder)
{
    const QByteArray good = picture(QSize(48, 48), 120);
    const qsizetype scan = good.indexOf(QByteArray("\xFF\xDA", 2));
    const struct {
        const char *name;
        QByteArray bytes;
    } kinds[] = {
        {"good.jpg", good},
        {"zero-bytes.jpg", QByteArray()},
        {"truncated.jpg", good.left((scan + good.size()) / 2)},
        {"header-only.jpg", good.left(300)},
        {"not-an-image.jpg", QByteArray("just words, no picture")},
        {"decompression-bomb.jpg", decompressionBomb()},
        {"many-scans.jpg", progressivePicture(QSize(16, 16), 30)},
        {"png.jpg", picture(QSize(24, 24), 120, "PNG")},
        {"bmp.jpg", picture(QSize(16, 16), 30, "BMP")},
        {"ico.jpg", picture(QSize(16, 16), 60, "ICO")},
        {"ppm.jpg", picture(QSize(8, 8), 90, "PPM")},
        {"xpm.jpg", picture(QSize(8, 8), 200, "XPM")},
        {"xbm.jpg", picture(QSize(16, 8), 250, "XBM")},
    };
    for (const auto &kind : kinds) {
        if (!save(folder, QString::fromLatin1(kind.name), kind.bytes))
            return false;
    }

    // Turned by its EXIF orientation, which the window's reader follows.
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(Qt::cyan);
    QImageWriter rotated(folder + u"/rotated.jpg"_s, "jpeg");
    rotated.setTransformation(QImageIOHandler::TransformationRotate90);
    // A GIF, which Qt reads but does not write: one 1 x 1 frame.
    const QByteArray gif = QByteArray::fromHex("4749463839610100010080000000000000ffffff21f90401000000002c00000000"
                                               "010001000002024401003b");
    return rotated.write(image) && save(folder, u"progressive.jpg"_s, progressivePicture(QSize(32, 16)))
        && save(folder, u"gif.jpg"_s, gif);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString clips = QFile::decodeName(argv[1]) + u"/clip"_s;
    const QString pictures = QFile::decodeName(argv[1]) + u"/picture"_s;
    if (!QDir().mkpath(clips) || !QDir().mkpath(pictures)) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    return writeClips(clips) && writePictures(pictures) ? 0 : 1;
}
