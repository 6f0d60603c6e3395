#include "records/CDevConfig.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "ExpectedRecords.h"
#include "json/CJsonObj.h"
#include "json/JsonVariant.h"
#include "records/CDdevFilter.h"
#include "records/FieldRegistry.h"

namespace {

using expected_records::DefaultConfig;
using expected_records::DefaultFilter;
using expected_records::Int;
using expected_records::Object;
using expected_records::Text;
using expected_records::WithMember;

TEST(CDevConfig, DefaultWritesSixMembersWithNestedFilters) {
  CDevConfig config;
  EXPECT_EQ(config.registry.size(), 6u);
  EXPECT_EQ(config.devInFilter.registry.size(), 21u);
  EXPECT_EQ(config.devOutFilter.registry.size(), 21u);
  const CJsonObj written = ToJsonObj(config);
  EXPECT_EQ(written, DefaultConfig());

  const std::string filter(expected_records::kDefaultFilterText);
  EXPECT_EQ(written.ToJsonText(),
            R"({"dev_id_in":"","dev_id_out":"","dev_in_filter":)" + filter +
                R"(,"dev_name_in":"","dev_name_out":"","dev_out_filter":)" +
                filter + "}");
}

// All four strings default to empty and both filters to the same object, so
// only a change shows a serializer wired to the wrong field.
TEST(CDevConfig, EachMemberComesFromItsOwnField) {
  const struct {
    void (*change)(CDevConfig&);
    std::u16string key;
    JsonVariant value;
  } kRows[] = {
      {[](CDevConfig& c) { c.devIdIn = u"in-1"; }, u"dev_id_in", Text(u"in-1")},
      {[](CDevConfig& c) { c.devNameIn = u"Mikrofon \u00FC"; }, u"dev_name_in",
       Text(u"Mikrofon \u00FC")},
      {[](CDevConfig& c) { c.devIdOut = u"out-1"; }, u"dev_id_out",
       Text(u"out-1")},
      {[](CDevConfig& c) { c.devNameOut = u"\u626C\u58F0\u5668"; },
       u"dev_name_out", Text(u"\u626C\u58F0\u5668")},
      {[](CDevConfig& c) { c.devInFilter.type = -3; }, u"dev_in_filter",
       Object(WithMember(DefaultFilter(), u"type", Int(-3)))},
      {[](CDevConfig& c) { c.devOutFilter.vcModelMain = u"m"; },
       u"dev_out_filter",
       Object(WithMember(DefaultFilter(), u"vc_model_main", Text(u"m")))},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::PrintToString(row.key));
    CDevConfig config;
    row.change(config);
    EXPECT_EQ(ToJsonObj(config),
              WithMember(DefaultConfig(), row.key, row.value));
  }
}

TEST(CDevConfig, WrittenObjectKeepsItsValuesWhenTheRecordChanges) {
  CDevConfig config;
  const CJsonObj written = ToJsonObj(config);
  config.devInFilter.type = 9;
  config.devOutFilter.vcModelMain = u"later";
  config.devIdIn = u"later";
  EXPECT_EQ(written, DefaultConfig());
}

// Nothing here changes the global; the tests that change records use their
// own.
TEST(DevConfigGlobal, HoldsTheDefaultsAfterStartUp) {
  EXPECT_EQ(g_devConfig.registry.size(), 6u);
  EXPECT_EQ(g_devConfig.devInFilter.registry.size(), 21u);
  EXPECT_EQ(g_devConfig.devOutFilter.registry.size(), 21u);
  EXPECT_EQ(ToJsonObj(g_devConfig), DefaultConfig());
}

}  // namespace
