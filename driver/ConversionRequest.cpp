#include "driver/ConversionRequest.h"

CJsonObj BuildConversionRequest() {
  return CJsonObj{
      {u"file_path", u"D:\\Common\\Destkop\\test.wav"},
      {u"model_path",
       u"D:\\Common\\Destkop\\whisper-bin-x64-release\\models\\ggml-base.bin"},
      {u"lang", u"zh"},
      {u"prompt", u""}};
}
