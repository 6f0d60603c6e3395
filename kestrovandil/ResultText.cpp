#include "kestrovandil/ResultText.h"

#include <cmath>
#include <ios>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

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

// Json::writeString would do, but its stream swallows a failed allocation
// and hands back cut-off text; this stream lets it through.
std::string WriteText(const Json::StreamWriterBuilder& builder,
                      const Json::Value& value) {
  const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
  std::ostringstream text;
  text.exceptions(std::ios::badbit);
  writer->write(value, &text);
  return std::move(text).str();
}

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
  return WriteText(CompactWriter(), result);
}

std::string FailureText(const CStatus& failure) {
  Json::Value result(Json::objectValue);
  result["code"] = CodeValue(failure.code());
  result["message"] = failure.message();
  result["data"] = "";
  return WriteText(CompactWriter(), result);
}

std::string StatusText(std::string_view state, double progress) {
  Json::Value status(Json::objectValue);
  status["code"] = CodeValue(ResultCode::kOk);
  status["state"] = Json::Value(state.data(), state.data() + state.size());
  status["progress"] = StepsIn(progress, 1e4) / 1e4;
  // A progress figure past four decimals is noise to whoever shows it.
  Json::StreamWriterBuilder builder = CompactWriter();
  builder["precision"] = 4;
  builder["precisionType"] = "decimal";
  return WriteText(builder, status);
}

double StepsIn(double share, double steps) {
  // The product may round across a whole number either way, by one at most.
  const double count = std::floor(share * steps);
  if ((count + 1) / steps <= share) return count + 1;
  if (count / steps > share) return count - 1;
  return count;
}

}  // namespace kestrovandil
