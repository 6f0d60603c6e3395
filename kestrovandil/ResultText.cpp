#include "kestrovandil/ResultText.h"

#include <string>
#include <string_view>

#include <json/value.h>
#include <json/writer.h>

#include "kestrovandil/WavReader.h"

namespace kestrovandil {
namespace {

Json::StreamWriterBuilder CompactWriter() {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return builder;
}

Json::Value CodeValue(ResultCode code) { return static_cast<int>(code); }

}  // namespace

std::string SuccessText(const WavFormat& format) {
  Json::Value result(Json::objectValue);
  result["code"] = CodeValue(ResultCode::kOk);
  result["message"] = "conversion finished";
  result["data"] = "";
  result["duration"] = format.DurationSeconds();
  result["sample_rate"] = format.sampleRate;
  result["channels"] = format.channels;
  result["bits_per_sample"] = format.bitsPerSample;
  result["format"] =
      format.sampleFormat == SampleFormat::kPcm ? "pcm" : "float";
  return Json::writeString(CompactWriter(), result);
}

std::string FailureText(ResultCode code, std::string_view message) {
  Json::Value result(Json::objectValue);
  result["code"] = CodeValue(code);
  result["message"] =
      Json::Value(message.data(), message.data() + message.size());
  result["data"] = "";
  return Json::writeString(CompactWriter(), result);
}

std::string StatusText(std::string_view state, double progress) {
  Json::Value status(Json::objectValue);
  status["code"] = CodeValue(ResultCode::kOk);
  status["state"] = Json::Value(state.data(), state.data() + state.size());
  status["progress"] = progress;
  // A progress figure past four decimals is noise to whoever shows it.
  Json::StreamWriterBuilder builder = CompactWriter();
  builder["precision"] = 4;
  builder["precisionType"] = "decimal";
  return Json::writeString(builder, status);
}

}  // namespace kestrovandil
