#include "kestrovandil/ConvertTaskApi.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ios>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <pthread.h>
#endif

#include <gtest/gtest.h>
#include <json/value.h>
#include <json/writer.h>  // prints values in failure messages

#include "PlatformAnswers.h"
#include "TaskTesting.h"
#include "WavBytes.h"
#include "kestrovandil/AudioSource.h"
#include "kestrovandil/CConversionTask.h"
#include "kestrovandil/CStatus.h"
#include "kestrovandil/ResultText.h"

namespace {

// The request that the conversion driver sends, byte for byte.
constexpr char kDriverRequest[] =
    R"({"file_path":"D:\\Common\\Destkop\\test.wav","lang":"zh",)"
    R"("model_path":"D:\\Common\\Destkop\\whisper-bin-x64-release\\models\\ggml-base.bin",)"
    R"("prompt":""})";
static_assert(sizeof(kDriverRequest) == 152 + 1);

// A request whose audio file does not exist, with one more member.
std::string WithMember(const std::string& member) {
  std::string request = RequestText("missing.wav", "missing.bin");
  request.insert(request.size() - 1, "," + member);
  return request;
}

// Such a request nested levels deep: the object, then arrays in a member of
// its own.
std::string NestedRequest(std::size_t levels) {
  return WithMember(R"("nest":)" + std::string(levels - 1, '[') +
                    std::string(levels - 1, ']'));
}

// 2 226 bytes that nest 1 050 levels deep if the comments are skipped, and
// 50 if they are read as text.
std::string CommentedNesting() {
  std::string request;
  for (int group = 0; group < 21; ++group) {
    request += std::string(50, '[') + "0/*" + std::string(50, ']') + "*/,";
  }
  return request;
}

TEST(ConvertTaskStart, RejectsBadRequests) {
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  const std::string tooDeep = NestedRequest(65);
  // Refused at the comment, before the brackets after it are met.
  const std::string quoteInComment = "[0/*\"*/," + std::string(1001, '[');
  const std::string commentedNesting = CommentedNesting();
  const std::string tooDeepThenComment = std::string(65, '[') + "/";
  const std::string overLimit = RequestOfSize(1024 * 1024 + 1);
  const char kNulInPath[] =
      R"({"file_path":"a.wav\u0000b","model_path":"m","lang":"zh","prompt":""})";
  struct Row {
    const char* request;
    const char* message;
  };
  std::vector<Row> rows = {
      {nullptr, "no request text"},
      {"", "not a JSON text"},
      {"file_path=a.wav", "not a JSON text"},
      {R"({"file_path":"a.wav",)", "not a JSON text"},
      {R"({"file_path":"a","model_path":"m","lang":"zh","prompt":""} x)",
       "not a JSON text"},
      {R"({"file_path":"a","file_path":"b","model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" appears more than once)"},
      {deep.c_str(), "nested deeper than 64 levels"},
      {tooDeep.c_str(), "nested deeper than 64 levels"},
      {quoteInComment.c_str(), "not a JSON text"},
      {commentedNesting.c_str(), "not a JSON text"},
      {R"({/*x*/"file_path":"a","model_path":"m","lang":"zh","prompt":""})",
       "not a JSON text"},
      {overLimit.c_str(), "longer than 1048576 bytes"},
      {"[]", "not a JSON object"},
      {"42", "not a JSON object"},
      {R"("text")", "not a JSON object"},
      {"null", "not a JSON object"},
      {"{}", R"("file_path" is missing)"},
      {R"({"file_path":"a","lang":"zh","prompt":""})",
       R"("model_path" is missing)"},
      {R"({"file_path":"a","model_path":"m","prompt":""})",
       R"("lang" is missing)"},
      {R"({"file_path":"a","model_path":"m","lang":"zh"})",
       R"("prompt" is missing)"},
      {R"({"file_path":3,"model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" is not a string)"},
      {R"({"file_path":"a","model_path":{},"lang":"zh","prompt":""})",
       R"("model_path" is not a string)"},
      {R"({"file_path":"a","model_path":"m","lang":null,"prompt":""})",
       R"("lang" is not a string)"},
      {R"({"file_path":"a","model_path":"m","lang":"zh","prompt":[]})",
       R"("prompt" is not a string)"},
      {kNulInPath, R"("file_path" contains a NUL character)"},
      {"{\"file_path\":\"a\xC3\",\"model_path\":\"m\",\"lang\":\"zh\","
       "\"prompt\":\"\"}",
       R"("file_path" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"\xC0\xAF\",\"lang\":\"zh\","
       "\"prompt\":\"\"}",
       R"("model_path" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"m\",\"lang\":\"zh\","
       "\"prompt\":\"\xED\xA0\x80\"}",
       R"("prompt" is not valid UTF-8)"},
      {"{\"file_path\":\"\x80\",\"model_path\":\"m\",\"lang\":\"zh\","
       "\"prompt\":\"\"}",
       R"("file_path" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"\xE0\x80\xAF\",\"lang\":\"zh\","
       "\"prompt\":\"\"}",
       R"("model_path" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"m\",\"lang\":"
       "\"\xF4\x90\x80\x80\","
       "\"prompt\":\"\"}",
       R"("lang" is not valid UTF-8)"},
      // 4-byte overlong forms, and lead bytes past U+10FFFF.
      {"{\"file_path\":\"\xF0\x80\x80\x80\",\"model_path\":\"m\","
       "\"lang\":\"zh\",\"prompt\":\"\"}",
       R"("file_path" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"\xF0\x8F\xBF\xBF\","
       "\"lang\":\"zh\",\"prompt\":\"\"}",
       R"("model_path" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"m\",\"lang\":\"zh\","
       "\"prompt\":\"\xF5\x80\x80\x80\"}",
       R"("prompt" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"m\",\"lang\":"
       "\"\xFF\xBF\xBF\xBF\",\"prompt\":\"\"}",
       R"("lang" is not valid UTF-8)"},
      // A lone surrogate escape stands for bytes that are not UTF-8, high or
      // low, and a high one is not paired with an escape that is no low one.
      {R"({"file_path":"a\ud800","model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" is not valid UTF-8)"},
      {R"({"file_path":"a","model_path":"\udc00","lang":"zh","prompt":""})",
       R"("model_path" is not valid UTF-8)"},
      {R"({"file_path":"a","model_path":"m","lang":"\udbff\ud800","prompt":""})",
       R"("lang" is not valid UTF-8)"},
      {R"({"file_path":"a","model_path":"m","lang":"zh","prompt":"\ud800\u0041"})",
       R"("prompt" is not valid UTF-8)"},
      {R"({"file_path":1e400,"model_path":"m","lang":"zh","prompt":""})",
       "a number is beyond a double's range"},
      {"{\"file_path\":\"no\tfile.wav\",\"model_path\":\"m\",\"lang\":\"zh\","
       "\"prompt\":\"\"}",
       "not a JSON text"},
      // A bad string where no string may stand is told as what it is not.
      {"{\"file_path\" \"\xFF\"}", "not a JSON text"},
      {"{\"file_path\":\"a\" \"\xFF\"}", "not a JSON text"},
      {"{} \"\xFF\"", "not a JSON text"},
      {"{\"file_path\":[\"\xFF\"]}", "a string is not valid UTF-8"},
      {"{\"\xC3\":0}", "a string is not valid UTF-8"},
      {"[1e400,+1]", "a number is beyond a double's range"},
      // Every kind of value that is no string, and roots that only hold an
      // object.
      {R"({"file_path":true,"model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" is not a string)"},
      {R"({"file_path":"a","model_path":false,"lang":"zh","prompt":""})",
       R"("model_path" is not a string)"},
      {R"({"file_path":"a","model_path":"m","lang":-1,"prompt":""})",
       R"("lang" is not a string)"},
      {R"({"file_path":"a","model_path":"m","lang":"zh","prompt":1.5})",
       R"("prompt" is not a string)"},
      {R"({"file_path":-0.0,"model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" is not a string)"},
      {R"({"file_path":"a","model_path":18446744073709551615,"lang":"zh","prompt":""})",
       R"("model_path" is not a string)"},
      {"[{}]", "not a JSON object"},
      {R"([{"file_path":"a","model_path":"m","lang":"zh","prompt":""}])",
       "not a JSON object"},
      // Names that only begin or end with a wanted one are other members.
      {R"({"file_path2":"a","model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" is missing)"},
      {R"({"file_path":"a","model_path":"m","xlang":"zh","prompt":""})",
       R"("lang" is missing)"},
      {R"({"file_path":"\u0000a","model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" contains a NUL character)"},
      {R"({"file_path":"a","model_path":"m","lang":"zh","prompt":"a\u0000"})",
       R"("prompt" contains a NUL character)"},
      // A repeated name is quoted as a JSON string.
      {R"({"a\"b":1,"a\"b":2})", R"("a\"b" appears more than once)"},
      {R"({"\\":1,"\\":2})", R"("\\" appears more than once)"},
      {R"({"\u0001":1,"\u0001":2})", R"("\u0001" appears more than once)"},
      // Trailing text comes first, after any root; a nested value that
      // closes does not end the root.
      {"\"text\" \"\xFF\"", "not a JSON text"},
      {"[] \"\xFF\"", "not a JSON text"},
      {"{\"x\":[],\"y\":{},\"file_path\":\"\xFF\",\"model_path\":\"m\","
       "\"lang\":\"zh\",\"prompt\":\"\"}",
       R"("file_path" is not valid UTF-8)"},
      // The reader's own words in the request steer nothing.
      {"{\"file_path\":\"a; last read: '\xFF\",\"model_path\":\"m\","
       "\"lang\":\"zh\",\"prompt\":\"\"}",
       R"("file_path" is not valid UTF-8)"},
      {"{\"file_path\":\"; last read: 'invalid string: ill-formed UTF-8 "
       "byte\t\"}",
       "not a JSON text"},
      // A surrogate escape without its pair comes before whatever breaks
      // after it in the same string, high or low; an escaped backslash
      // makes no escape of what follows it.
      {R"({"file_path":"\ud800\uZZZZ","model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" is not valid UTF-8)"},
      {R"({"file_path":"a","model_path":"\udc00\uZZZZ","lang":"zh","prompt":""})",
       R"("model_path" is not valid UTF-8)"},
      {R"({"file_path":"a\uDBFF\u12)", R"("file_path" is not valid UTF-8)"},
      {R"({"file_path":"a\udc00\u12)", R"("file_path" is not valid UTF-8)"},
      {R"({"file_path":"\ud800\q")", R"("file_path" is not valid UTF-8)"},
      {R"({"file_path":"\ud800)", R"("file_path" is not valid UTF-8)"},
      {R"({"file_path":"\\\ud800\u)", R"("file_path" is not valid UTF-8)"},
      {R"({"\ud800\uZZZZ":0})", "a string is not valid UTF-8"},
      {R"({"file_path":"\\ud800\u12)", "not a JSON text"},
      {R"({"file_path":"\u0041\uZZZZ"})", "not a JSON text"},
      {R"({"file_path":"\ud7ff\u12"})", "not a JSON text"},
      {R"({"file_path":"\ud800\u12\\"})", R"("file_path" is not valid UTF-8)"},
  };
  // Text that the grammar refuses, where nothing reads it and as a whole.
  std::vector<std::string> notJson;
  for (const char* value :
       {"+1", "01", "-01", "-", "1.", "-.5", "1.e5", "2.e+3", "0.e1", "\"\t\"",
        "\"\n\"", "\"\x01\"", "\"\x1F\""}) {
    notJson.push_back(WithMember(std::string(R"("x":)") + value));
    notJson.push_back(std::string("[") + value + "]");
  }
  const std::string repeated = WithMember(R"("x":1,"x":[])");
  for (const std::string& text : notJson)
    rows.push_back({text.c_str(), "not a JSON text"});
  rows.push_back({repeated.c_str(), R"("x" appears more than once)"});
  rows.push_back({tooDeepThenComment.c_str(), "nested deeper than 64 levels"});
  for (const auto& row : rows) {
    SCOPED_TRACE(row.request ? std::string(row.request).substr(0, 80) : "null");
    const TaskPtr task = MakeTask();
    const Json::Value result =
        ParseText(ConvertTaskStart(task.get(), row.request));
    EXPECT_EQ(result["code"], 1);
    EXPECT_EQ(result["message"], std::string("bad request: ") + row.message);
    EXPECT_EQ(result["data"], "");
    const Json::Value status = ParseText(ConvertTaskStatus(task.get(), ""));
    EXPECT_EQ(status["state"], "failed");
    EXPECT_EQ(status["progress"], 0.0);
  }
}

TEST(ConvertTaskStart, ReportsUnusableInputFiles) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kPcm, 1, 16000, 16, 160));
  const std::string folder = dir.path().string();
  const std::string empty = dir.Write("empty.bin", "");
  const std::string missing = (dir.path() / "missing.bin").string();
  const std::string noise = dir.Write("noise.wav", "not a WAVE file");
  // A scan that lost track of the string at the escaped quote would count
  // the brackets.
  const std::string quoteThenBrackets = "a\"" + std::string(65, '[');
  std::string siblings = R"("x":[[])";
  for (int i = 1; i < 5000; ++i) siblings += ",[]";
  siblings = WithMember(siblings + "]");
  const std::string readsNothing = FileThatReadsNothing();
  struct Row {
    std::string request;
    int code;
    std::string message;
  };
  std::vector<Row> rows = {
      {kDriverRequest, 2,
       R"(audio file not found: D:\Common\Destkop\test.wav)"},
      {RequestText("", dir.modelPath()), 2, "audio file not found: "},
      {RequestText(missing, dir.modelPath()), 2,
       "audio file not found: " + missing},
      {RequestText(folder, dir.modelPath()), 2,
       "audio file is a directory: " + folder},
      {NestedRequest(64), 2, "audio file not found: missing.wav"},
      {RequestText(quoteThenBrackets, dir.modelPath()), 2,
       kQuotedAudioPathAnswer + quoteThenBrackets},
      {RequestText(missing, dir.modelPath(), "zh", "\xC2\xA9 2024"), 2,
       "audio file not found: " + missing},
      {RequestText(missing + "\xE4\xB8\xAD", dir.modelPath()), 2,
       "audio file not found: " + missing + "\xE4\xB8\xAD"},
      // Characters up to U+FFFF, raw and escaped.
      {RequestText(missing + "\xEE\x80\x80\xEF\xBF\xBD\xEF\xBF\xBF",
                   dir.modelPath()),
       2,
       "audio file not found: " + missing +
           "\xEE\x80\x80\xEF\xBF\xBD\xEF\xBF\xBF"},
      {R"({"file_path":"m\ue000\ufffd\uffff","model_path":"m","lang":"zh","prompt":""})",
       2, "audio file not found: m\xEE\x80\x80\xEF\xBF\xBD\xEF\xBF\xBF"},
      // An escaped backslash before "ud800" is no escape.
      {R"({"file_path":"m\\ud800","model_path":"m","lang":"zh","prompt":""})",
       2, "audio file not found: m\\ud800"},
      // Whatever JSON the members that are not read hold: numbers that a
      // double holds, names repeated below the root, and many siblings that
      // nest no deeper than three levels; but not what no double holds nor
      // a string that encodes no characters.
      {WithMember(R"("x":1e400)"), 1,
       "bad request: a number is beyond a double's range"},
      {WithMember(R"("x":[-1e-400,1E+308,)" + std::string(300, '9') + "]"), 2,
       "audio file not found: missing.wav"},
      {WithMember(R"("x":"\ud800","\udc00\ud800\u0041":0)"), 1,
       "bad request: a string is not valid UTF-8"},
      {WithMember(R"("x":{"a":1,"a":{"b":[],"b":{}}})"), 2,
       "audio file not found: missing.wav"},
      {siblings, 2, "audio file not found: missing.wav"},
      // A name that only begins with a wanted one leaves it as it is; the
      // reader's own words are text like any other.
      {WithMember(R"("file_path2":"other.wav","xfile_path":"x.wav")"), 2,
       "audio file not found: missing.wav"},
      {WithMember(
           R"("invalid string: ill-formed UTF-8 byte":"; last read: '")"),
       2, "audio file not found: missing.wav"},
      {RequestText("invalid string: ill-formed UTF-8 byte", dir.modelPath()), 2,
       "audio file not found: invalid string: ill-formed UTF-8 byte"},
      // Names below the root are no members of the request, and reading
      // goes on after them.
      {R"({"x":{"file_path":"inner.wav"},"file_path":"missing.wav",)"
       R"("model_path":"m","lang":"zh","prompt":""})",
       2, "audio file not found: missing.wav"},
      {RequestText(audio, missing), 4, "model file not found: " + missing},
      // The model is checked before the audio is read.
      {RequestText(noise, missing), 4, "model file not found: " + missing},
      {RequestText(audio, empty), 4, "model file is empty: " + empty},
      {RequestText(audio, folder), 4,
       "model file is not a regular file: " + folder},
  };
  // Where the platform has one (not Windows, whose disk files read as far
  // as their size says).
  if (!readsNothing.empty()) {
    rows.push_back({RequestText(audio, readsNothing), 4,
                    "model file cannot be read: " + readsNothing});
  }
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    const Json::Value result = StartOnce(row.request.c_str());
    EXPECT_EQ(result["code"], row.code);
    EXPECT_EQ(result["message"], row.message);
    EXPECT_EQ(result["data"], "");
  }
}

// However long a text runs, its length is measured without reading more
// than one byte past the limit: a page that faults follows each text here,
// one with no NUL anywhere and one of exactly the limit.
TEST(ConvertTaskStart, ReadsNoFurtherThanItsLimit) {
  constexpr std::size_t kLimit = 1024 * 1024;
  const struct {
    std::string bytes;
    const char* message;
  } kRows[] = {
      {std::string(kLimit + 1, '['), "bad request: longer than 1048576 bytes"},
      {RequestOfSize(kLimit) + '\0', "audio file not found: missing.wav"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.message);
    const CBytesBeforeGuardPage text(row.bytes.size());
    std::copy(row.bytes.begin(), row.bytes.end(), text.data());
    EXPECT_EQ(StartOnce(text.data())["message"], row.message);
  }
}

// Byte for byte: characters beyond ASCII go out as UTF-8, not as escapes
// that a parsed comparison could not tell from them.
TEST(ConvertTaskStart, WritesCompactText) {
  const struct {
    std::string request;
    const char* result;
  } kRows[] = {
      {kDriverRequest,
       R"({"code":2,"data":"",)"
       R"("message":"audio file not found: D:\\Common\\Destkop\\test.wav"})"},
      {RequestText("\xE4\xB8\xAD.wav", "m"),
       "{\"code\":2,\"data\":\"\",\"message\":"
       "\"audio file not found: \xE4\xB8\xAD.wav\"}"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.result);
    const TaskPtr task = MakeTask();
    EXPECT_STREQ(ConvertTaskStart(task.get(), row.request.c_str()), row.result);
  }
}

TEST(ConvertTaskApi, AcceptsNullHandles) {
  const char kStart[] =
      R"({"code":6,"data":"","message":"no task: the handle is null"})";
  const char kStatus[] =
      R"({"code":6,"message":"no task: the handle is null"})";
  EXPECT_STREQ(ConvertTaskStart(nullptr, kDriverRequest), kStart);
  EXPECT_STREQ(ConvertTaskStart(nullptr, nullptr), kStart);
  EXPECT_STREQ(ConvertTaskStatus(nullptr, ""), kStatus);
  EXPECT_STREQ(ConvertTaskStatus(nullptr, nullptr), kStatus);
  ConvertTaskRelease(nullptr);
}

// The static texts are returned when nothing may be built, and must read as
// the builder would have written them.
TEST(ConvertTaskApi, StaticTextsAreWhatTheBuilderWrites) {
  using kestrovandil::ResultCode;
  const struct {
    const char* start;
    const char* status;  // null where there is none
    ResultCode code;
    const char* message;
  } kRows[] = {
      {kestrovandil::kBusyStartText, nullptr, ResultCode::kBusy,
       "busy: a conversion is already running on this task"},
      {kestrovandil::kNullHandleStartText,
       kestrovandil::kNullHandleStatusText.data(), ResultCode::kNullHandle,
       "no task: the handle is null"},
      {kestrovandil::kInternalErrorStartText,
       kestrovandil::kInternalErrorStatusText.data(),
       ResultCode::kInternalError, "internal error"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.message);
    EXPECT_EQ(row.start, kestrovandil::FailureText({row.code, row.message}));
    if (row.status == nullptr) continue;
    const Json::Value status = ParseText(row.status);
    EXPECT_EQ(status.getMemberNames(),
              (std::vector<std::string>{"code", "message"}));
    EXPECT_EQ(status["code"], static_cast<int>(row.code));
    EXPECT_EQ(status["message"], row.message);
  }
}

TEST(ConvertTaskStatus, IgnoresTheQuery) {
  const TaskPtr task = MakeTask();
  ASSERT_NE(task, nullptr);
  for (const char* query : {"", static_cast<const char*>(nullptr), "garbage",
                            R"({"state":"done"})"}) {
    SCOPED_TRACE(query == nullptr ? "null" : query);
    EXPECT_STREQ(ConvertTaskStatus(task.get(), query),
                 R"({"code":0,"progress":0.0,"state":"idle"})");
  }
}

// Four decimals in fixed notation, whatever the share, rounded down: only
// all of the data is 1.0. The double for 3/10000 lies a trifle below it and
// still shows it; one a trifle below 0.8343, ten thousand times which rounds
// to 8343, does not.
TEST(ConvertTaskStatus, RoundsProgressToFourDecimals) {
  const double below = std::nextafter(0.8343, 0.0);
  const struct {
    const char* state;
    double progress;
    const char* text;
  } kRows[] = {
      {"idle", 0.0, "0.0"},
      {"converting", 1.0 / 3, "0.3333"},
      {"failed", 2.0 / 3, "0.6666"},
      {"converting", 1.0 / 64, "0.0156"},
      {"converting", 0.00004, "0.0"},
      {"converting", 0.99996, "0.9999"},
      {"done", 1.0, "1.0"},
      {"converting", 0.0003, "0.0003"},
      {"converting", below, "0.8342"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.progress);
    EXPECT_EQ(kestrovandil::StatusText(row.state, row.progress),
              std::string(R"({"code":0,"progress":)") + row.text +
                  R"(,"state":")" + row.state + R"("})");
  }
}

// Serves its bytes, then fails as a disk does: the stream reading through it
// turns bad.
class CFailingStream : public std::istream {
 public:
  explicit CFailingStream(std::string bytes)
      : std::istream(nullptr), buffer_(std::move(bytes)) {
    rdbuf(&buffer_);
  }

 private:
  class CBuffer : public std::streambuf {
   public:
    explicit CBuffer(std::string bytes) : bytes_(std::move(bytes)) {
      setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
    }

   protected:
    int_type underflow() override {
      throw std::ios_base::failure("read error");
    }

   private:
    std::string bytes_;
  };
  CBuffer buffer_;
};

// A read that fails halfway through the data is a read error, streamed data
// too, not the end of the data, and leaves the progress where it stopped; so
// is one that fails in a chunk header or in a chunk that is skipped.
TEST(ConvertTaskStart, ReportsWhereAFailedReadStopped) {
  constexpr std::size_t kBlock = 65536;
  const std::string blocks(2 * kBlock, '\0');
  const std::string declared = RiffWave(
      Chunk("fmt ", FmtBody(kPcm, 1, 16000, 16)) + Chunk("data", blocks));
  // Streamed data's share is of what the size leaves after the headers.
  const std::string streamed = StreamedWavFile(4 * kBlock, blocks);
  constexpr std::size_t kFmtEnd = 12 + 24;
  const std::string three =
      RiffWave(Chunk("fmt ", FmtBody(kPcm, 1, 16000, 16)) +
               Chunk("data", std::string(3 * kBlock, '\0')));
  const struct {
    const char* name;
    std::string served;  // the bytes before the failure
    std::uint64_t size;
    double progress;
  } kRows[] = {
      {"declared size", declared.substr(0, declared.size() - kBlock), 0, 0.5},
      {"streamed after a large chunk",
       streamed.substr(0, streamed.size() - kBlock), streamed.size(), 0.5},
      // The block that failed counts for nothing, at all four decimals.
      {"halfway through a 64 KiB block",
       three.substr(0, three.size() - kBlock * 3 / 2), 0, 0.3333},
      {"in a chunk header", declared.substr(0, kFmtEnd + 4), 0, 0.0},
      {"in a skipped chunk", streamed.substr(0, kFmtEnd + 8 + 100),
       streamed.size(), 0.0},
  };
  const CTestDir dir;
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    kestrovandil::CConversionTask task(
        [&row](const std::string&, kestrovandil::AudioInput& audio) {
          audio.stream = std::make_unique<CFailingStream>(row.served);
          audio.size = row.size;
          return kestrovandil::CStatus();
        });
    const Json::Value result =
        ParseText(task.Start(RequestText("a.wav", dir.modelPath()).c_str()));
    EXPECT_EQ(result["code"], 2);
    EXPECT_EQ(result["message"], "audio file cannot be read: a.wav");
    const Json::Value status = ParseText(task.Status());
    EXPECT_EQ(status["state"], "failed");
    EXPECT_EQ(status["progress"], row.progress);
  }
}

// Each start result is read again after a status call, so a task that
// reused or freed it before the next start fails here, under ASan above all.
TEST(ConvertTaskStart, ResultLivesUntilTheNextStart) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kFloat, 1, 8000, 32, 4000));
  const TaskPtr task = MakeTask();
  const struct {
    std::string request;
    int code;
    const char* state;
  } kRuns[] = {
      {kDriverRequest, 2, "failed"},
      {RequestText(audio, dir.modelPath()), 0, "done"},
      {"not json", 1, "failed"},
      {RequestText(audio, dir.modelPath(), "en", "a prompt"), 0, "done"},
      {RequestOfSize(1024 * 1024), 2, "failed"},
  };
  for (const auto& run : kRuns) {
    SCOPED_TRACE(run.request.substr(0, 80));
    const char* result = ConvertTaskStart(task.get(), run.request.c_str());
    const std::string copy = result;
    const char* status = ConvertTaskStatus(task.get(), "");
    EXPECT_EQ(ParseText(status)["state"], run.state);
    EXPECT_EQ(result, copy);
    EXPECT_EQ(ParseText(result)["code"], run.code);
  }
}

#if !defined(_WIN32)

// A caller's thread may have a small stack. The deepest request that is
// read, and brackets as deep as the size limit allows, fit in 64 KiB: the
// reader does not recurse.
TEST(ConvertTaskStart, ParsesOnASmallStack) {
  struct Run {
    std::string request;
    const char* message;
    std::string result;
  } runs[] = {{NestedRequest(64), "audio file not found: missing.wav", {}},
              {std::string(1024 * 1024, '['),
               "bad request: nested deeper than 64 levels",
               {}}};
  for (Run& run : runs) {
    SCOPED_TRACE(run.request.substr(0, 80));
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 64 * 1024), 0);
    pthread_t thread{};
    const int created = pthread_create(
        &thread, &attributes,
        [](void* arg) -> void* {
          Run& started = *static_cast<Run*>(arg);
          const TaskPtr task = MakeTask();
          started.result =
              ConvertTaskStart(task.get(), started.request.c_str());
          return nullptr;
        },
        &run);
    pthread_attr_destroy(&attributes);
    ASSERT_EQ(created, 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    EXPECT_EQ(ParseText(run.result.c_str())["message"], run.message);
  }
}

// A start whose audio comes through a pipe that the test feeds: the
// conversion runs exactly as long as the test wants.
class ConvertTaskRunning : public ::testing::Test {
 protected:
  // The library refuses anything but a regular file; a stream opened on the
  // pipe stands in for a file whose reading takes as long as the test wants,
  // of the size that audioSize_ says.
  kestrovandil::CStatus OpenPipe(const std::string& path,
                                 kestrovandil::AudioInput& audio) const {
    audio.stream = std::make_unique<std::ifstream>(path, std::ios::binary);
    audio.size = audioSize_;
    return {};
  }

  static constexpr std::uint32_t kFrames = 131072;  // four 64 KiB blocks
  static constexpr std::size_t kHeaderSize = 44;
  static constexpr std::size_t kBlock = 65536;

  void StartConversion() {
    request_ = RequestText(fifo_.string(), dir_.modelPath());
    starter_ =
        std::jthread([this] { result_ = task_.Start(request_.c_str()); });
    ASSERT_TRUE(writer_.Open());
  }

  Json::Value Status() { return ParseText(task_.Status()); }

  bool WaitForProgress(double progress) {
    return WaitFor([&] { return Status()["progress"] == progress; });
  }

  const CTestDir dir_;
  const std::filesystem::path fifo_ = dir_.path() / "audio.wav";
  const std::string wav_ = WavFile(kPcm, 1, 16000, 16, kFrames);
  std::uint64_t audioSize_ = 0;  // unknown
  kestrovandil::CConversionTask task_{
      [this](const std::string& path, kestrovandil::AudioInput& audio) {
        return OpenPipe(path, audio);
      }};
  std::string request_;
  const char* result_ = nullptr;
  // The writer comes after the thread, so that on an early exit it closes
  // first, the start sees the end of its audio, and the join returns.
  std::jthread starter_;
  CFifoWriter writer_{fifo_};
};

TEST_F(ConvertTaskRunning, RefusesASecondStart) {
  ASSERT_NO_FATAL_FAILURE(StartConversion());
  writer_.Write(wav_.substr(0, kHeaderSize + kBlock));
  ASSERT_TRUE(WaitForProgress(0.25));
  std::thread([this] {
    EXPECT_STREQ(
        task_.Start(request_.c_str()),
        R"({"code":5,"data":"",)"
        R"("message":"busy: a conversion is already running on this task"})");
  }).join();
  EXPECT_EQ(Status()["state"], "converting");
  writer_.Write(wav_.substr(kHeaderSize + kBlock));
  writer_.Close();
  starter_.join();
  const Json::Value result = ParseText(result_);
  EXPECT_EQ(result["code"], 0);
  EXPECT_DOUBLE_EQ(result["duration"].asDouble(), 8.192);
}

// Streamed data's share is of what the file's size leaves after the
// headers, which a large chunk before the data makes plain.
TEST_F(ConvertTaskRunning, ReportsProgressMeanwhile) {
  const std::string data(4 * kBlock, '\0');
  const std::string streamed = StreamedWavFile(data.size(), data);
  const struct {
    const char* name;
    std::string wav;
    std::uint64_t size;
  } kRows[] = {
      {"declared size", wav_, 0},
      {"streamed after a large chunk", streamed, streamed.size()},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    audioSize_ = row.size;
    const std::size_t headers = row.wav.size() - data.size();
    ASSERT_NO_FATAL_FAILURE(StartConversion());
    EXPECT_EQ(Status()["state"], "converting");
    EXPECT_EQ(Status()["progress"], 0.0);
    writer_.Write(row.wav.substr(0, headers));
    for (const double progress : {0.25, 0.5, 0.75}) {
      SCOPED_TRACE(progress);
      writer_.Write(data.substr(0, kBlock));
      EXPECT_TRUE(WaitForProgress(progress));
      EXPECT_EQ(Status()["state"], "converting");
    }
    writer_.Write(data.substr(0, kBlock));
    writer_.Close();
    starter_.join();
    EXPECT_EQ(ParseText(result_)["code"], 0);
    const Json::Value status = Status();
    EXPECT_EQ(status["state"], "done");
    EXPECT_EQ(status["progress"], 1.0);
  }
}

// A pipe closed before the data is complete is a truncated file.
TEST_F(ConvertTaskRunning, FailsWhenTheAudioEndsEarly) {
  ASSERT_NO_FATAL_FAILURE(StartConversion());
  writer_.Write(wav_.substr(0, kHeaderSize + kBlock + 1000));
  writer_.Close();
  starter_.join();
  EXPECT_EQ(ParseText(result_)["message"],
            "audio format invalid: data chunk is truncated: "
            "262144 bytes declared, 66536 present");
  // Where reading stopped: the short last block counts.
  const Json::Value status = Status();
  EXPECT_EQ(status["state"], "failed");
  EXPECT_EQ(status["progress"], 0.2538);
}

#endif

}  // namespace
