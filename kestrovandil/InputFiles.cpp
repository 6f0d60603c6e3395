#include "kestrovandil/InputFiles.h"

#include <filesystem>
#include <fstream>
#include <ios>
#include <optional>
#include <string>
#include <system_error>

namespace kestrovandil {
namespace {

// A narrow path means the ANSI code page on Windows; building it from UTF-8
// code units keeps every character.
std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

std::optional<std::string> OpenAudioFile(const std::string& path,
                                         std::ifstream& stream) {
  const std::filesystem::path file = PathFromUtf8(path);
  std::error_code error;
  const std::filesystem::file_status status =
      std::filesystem::status(file, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return "audio file not found: " + path;
  }
  if (std::filesystem::is_directory(status)) {
    return "audio file is a directory: " + path;
  }
  if (!error) stream.open(file, std::ios::binary);
  if (!stream.is_open()) return "audio file cannot be opened: " + path;
  return std::nullopt;
}

std::optional<std::string> CheckModelFile(const std::string& path) {
  const std::filesystem::path file = PathFromUtf8(path);
  std::error_code error;
  const std::filesystem::file_status status =
      std::filesystem::status(file, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return "model file not found: " + path;
  }
  if (error) return "model file cannot be read: " + path;
  if (!std::filesystem::is_regular_file(status)) {
    return "model file is not a regular file: " + path;
  }
  if (std::filesystem::file_size(file, error) == 0 && !error) {
    return "model file is empty: " + path;
  }
  std::ifstream stream(file, std::ios::binary);
  char first = 0;
  if (error || !stream.read(&first, 1)) {
    return "model file cannot be read: " + path;
  }
  return std::nullopt;
}

}  // namespace kestrovandil
