#include "WavBytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

std::string Le16(std::uint16_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string Le32(std::uint32_t value) {
  return Le16(static_cast<std::uint16_t>(value & 0xFFFF)) +
         Le16(static_cast<std::uint16_t>(value >> 16));
}

std::string RawChunk(std::string_view id, std::uint32_t size,
                     std::string_view body) {
  return std::string(id) + Le32(size) + std::string(body);
}

std::string Chunk(std::string_view id, std::string_view body) {
  std::string chunk =
      RawChunk(id, static_cast<std::uint32_t>(body.size()), body);
  if (body.size() % 2 == 1) chunk += '\0';
  return chunk;
}

std::string RiffWave(std::string_view chunks) {
  return "RIFF" + Le32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" +
         std::string(chunks);
}

std::string FmtBody(std::uint16_t tag, std::uint16_t channels,
                    std::uint32_t sampleRate, std::uint16_t bits,
                    int blockAlign) {
  const auto align = static_cast<std::uint16_t>(
      blockAlign >= 0 ? blockAlign : channels * bits / 8);
  return Le16(tag) + Le16(channels) + Le32(sampleRate) +
         Le32(sampleRate * align) + Le16(align) + Le16(bits);
}

std::string ExtensibleFmtBody(std::uint16_t subTag, std::uint16_t channels,
                              std::uint32_t sampleRate, std::uint16_t bits) {
  // cbSize 22, valid bits, no speaker mask, then the GUID
  // {0000xxxx-0000-0010-8000-00AA00389B71} with the plain tag in front.
  return FmtBody(kExtensible, channels, sampleRate, bits) + Le16(22) +
         Le16(bits) + Le32(0) + Le16(subTag) +
         std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71",
                     14);
}

std::string WavFile(std::uint16_t tag, std::uint16_t channels,
                    std::uint32_t sampleRate, std::uint16_t bits,
                    std::uint32_t frames) {
  const std::size_t dataSize = std::size_t{frames} * channels * bits / 8;
  return RiffWave(Chunk("fmt ", FmtBody(tag, channels, sampleRate, bits)) +
                  Chunk("data", std::string(dataSize, '\0')));
}

std::string StreamedWavFile(std::size_t junkSize, std::string_view data) {
  return "RIFF" + Le32(0xFFFFFFFF) + "WAVE" +
         Chunk("fmt ", FmtBody(kPcm, 1, 16000, 16)) +
         Chunk("junk", std::string(junkSize, '\0')) +
         RawChunk("data", 0xFFFFFFFF, data);
}
