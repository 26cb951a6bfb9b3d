// Reads a RIFF WAVE file held in memory into its format and its sample bytes.
//
// Chunks before "fmt " and between "fmt " and "data" are skipped (a skipped chunk is
// padded to an even length; "fmt " itself is not). A chunk that claims more bytes than the
// file has is cut at the file's end. Only what the mixer plays is accepted (see
// platform/audio/source_format.h): plain PCM, 32-bit float, MS-ADPCM with the standard
// coefficient table and no block naming a predictor past it, and WAVE_FORMAT_EXTENSIBLE
// with a PCM or float sub-format (its speaker mask kept). The data is cut to whole sample
// frames (for MS-ADPCM, whole blocks).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/source_format.h"

struct WavData {
  qxaudio::SourceFormat format;
  std::vector<uint8_t> data;
};

// False, with the reason in why and out left empty, when the bytes are no playable WAV.
bool readWav(const uint8_t* bytes, size_t size, WavData& out, std::string* why);
