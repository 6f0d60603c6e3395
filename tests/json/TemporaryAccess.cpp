// Compiled, never run, by the CTest cases of tests/json/CMakeLists.txt: each
// value of TEMPORARY_ACCESS compiles one group of lines. Group 0 must
// compile; every other group reaches into a temporary object and must not:
// groups 1 to 4 call deleted functions, groups 5 and 6 keep a pointer or an
// iterator that clang's -Wdangling flags (clang only).

#include <string_view>

#include "json/CJsonObj.h"
#include "json/CJsonValue.h"
#include "json/JsonVariant.h"

CJsonObj MakeResult();
const CJsonObj MakeConstResult();

void Access() {
#if TEMPORARY_ACCESS == 0
  // Handles and references into an object that outlives them, and results
  // by value (or read at once) from a temporary.
  CJsonObj object;
  const CJsonObj& constant = object;
  CJsonValue wide = object[u"data"];
  CJsonValue narrow = object["data"];
  JsonVariant& value = object.At(u"data");
  const JsonVariant& constValue = constant.At(u"data");
  const bool found = MakeResult().Find(u"data") != nullptr;
  for (const auto& member : MakeResult()) (void)member;
  (void)wide, (void)narrow, (void)value, (void)constValue, (void)found;
  (void)MakeResult().ToJsonText();
  (void)MakeConstResult().size();
#elif TEMPORARY_ACCESS == 1
  CJsonValue data = MakeResult()[u"data"];
  (void)data;
#elif TEMPORARY_ACCESS == 2
  CJsonValue data = MakeResult()["data"];
  (void)data;
#elif TEMPORARY_ACCESS == 3
  JsonVariant& data = MakeResult().At(u"data");
  (void)data;
#elif TEMPORARY_ACCESS == 4
  const JsonVariant& data = MakeConstResult().At(u"data");
  (void)data;
#elif TEMPORARY_ACCESS == 5
  const JsonVariant* data = MakeResult().Find(u"data");
  (void)data;
#elif TEMPORARY_ACCESS == 6
  auto member = MakeResult().begin();
  (void)member;
#endif
}
