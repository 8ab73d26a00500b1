// SPDX-License-Identifier: GPL-3.0-or-later
#include "wasapi_format.h"

#include <algorithm>
#include <iterator>

namespace {

// The KSDATAFORMAT_SUBTYPE_* GUID of a WAVE_FORMAT_* tag.
bool isSubtype(const GUID &guid, WORD tag)
{
    static constexpr unsigned char Tail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    return guid.Data1 == tag && guid.Data2 == 0x0000 && guid.Data3 == 0x0010
        && std::equal(std::begin(Tail), std::end(Tail), guid.Data4);
}

} // namespace

std::optional<WaveLayout> waveLayoutOf(const WAVEFORMATEX &wave)
{
    WORD tag = wave.wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        if (wave.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX))
            return std::nullopt;
        const auto &extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE &>(wave);
        if (isSubtype(extensible.SubFormat, WAVE_FORMAT_IEEE_FLOAT))
            tag = WAVE_FORMAT_IEEE_FLOAT;
        else if (isSubtype(extensible.SubFormat, WAVE_FORMAT_PCM))
            tag = WAVE_FORMAT_PCM;
        else
            return std::nullopt;
    }
    if (tag != WAVE_FORMAT_IEEE_FLOAT && tag != WAVE_FORMAT_PCM)
        return std::nullopt;
    return WaveLayout{int(wave.nSamplesPerSec), wave.nChannels, wave.wBitsPerSample, tag == WAVE_FORMAT_IEEE_FLOAT,
                      wave.nBlockAlign};
}
