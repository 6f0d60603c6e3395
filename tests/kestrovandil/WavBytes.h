#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Builders for hand-made RIFF/WAVE files, byte by byte, so that each test row
// shows exactly which field it breaks.

inline constexpr std::uint16_t kPcm = 1;
inline constexpr std::uint16_t kFloat = 3;
inline constexpr std::uint16_t kExtensible = 0xFFFE;

[[nodiscard]] std::string Le16(std::uint16_t value);
[[nodiscard]] std::string Le32(std::uint32_t value);

// Id, size field, body, and a pad byte after an odd body.
[[nodiscard]] std::string Chunk(std::string_view id, std::string_view body);
// Id and a size field that need not match the body; no pad byte.
[[nodiscard]] std::string RawChunk(std::string_view id, std::uint32_t size,
                                   std::string_view body);
// "RIFF", the size of what follows, "WAVE", then the chunks.
[[nodiscard]] std::string RiffWave(std::string_view chunks);

// A 16-byte fmt body; the block align is channels * bits / 8 unless given.
[[nodiscard]] std::string FmtBody(std::uint16_t tag, std::uint16_t channels,
                                  std::uint32_t sampleRate, std::uint16_t bits,
                                  int blockAlign = -1);
// A 40-byte WAVE_FORMAT_EXTENSIBLE body whose sub-format GUID is that of the
// plain format subTag.
[[nodiscard]] std::string ExtensibleFmtBody(std::uint16_t subTag,
                                            std::uint16_t channels,
                                            std::uint32_t sampleRate,
                                            std::uint16_t bits);
// A whole file of silence: fmt chunk, then a data chunk of frames frames.
[[nodiscard]] std::string WavFile(std::uint16_t tag, std::uint16_t channels,
                                  std::uint32_t sampleRate, std::uint16_t bits,
                                  std::uint32_t frames);
// A 16-bit mono 16 kHz file as a writer that cannot seek back leaves it:
// RIFF and data sizes 0xFFFFFFFF, and a junk chunk of junkSize bytes before
// the data, so that the headers are a large share of the file.
[[nodiscard]] std::string StreamedWavFile(std::size_t junkSize,
                                          std::string_view data);
