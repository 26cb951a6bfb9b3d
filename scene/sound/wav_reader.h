// Reads a RIFF WAVE file held in memory into its format and its sample bytes.
//
// Chunks before "fmt " and between "fmt " and "data" are skipped (a skipped chunk is
// padded to an even length; "fmt " itself is not). A chunk that claims more bytes than the
// file has is cut at the file's end. Only plain PCM (8, 16, 24 or 32 bits) and 32-bit
// float are accepted, with a block align that matches, and the data is cut to whole
// sample frames. WAVE_FORMAT_EXTENSIBLE with a PCM or float sub-format reads as that
// plain format (its channel mask is not used); other sub-formats are refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/audio.h"

struct WavData {
  qxaudio::WaveFormat format;
  std::vector<uint8_t> data;
};

// False, with the reason in why and out left empty, when the bytes are no playable WAV.
bool readWav(const uint8_t* bytes, size_t size, WavData& out, std::string* why);
