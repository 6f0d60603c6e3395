#include "records/CDdevFilter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ExpectedRecords.h"
#include "json/CJsonObj.h"
#include "json/JsonVariant.h"
#include "records/FieldRegistry.h"

namespace {

using expected_records::Bool;
using expected_records::DefaultFilter;
using expected_records::Int;
using expected_records::Object;
using expected_records::Real;
using expected_records::Text;
using expected_records::WithMember;

TEST(CDdevFilter, DefaultWritesTheTwentyOneDefaults) {
  CDdevFilter filter;
  EXPECT_EQ(filter.registry.size(), 21u);
  const CJsonObj written = ToJsonObj(filter);
  // Equality of the members compares their alternatives too.
  EXPECT_EQ(written, DefaultFilter());
  EXPECT_EQ(written.ToJsonText(), expected_records::kDefaultFilterText);
}

TEST(CDdevFilter, RegistryWalkFollowsDeclarationOrder) {
  const CDdevFilter filter;
  std::vector<std::u16string> keys;
  for (const auto& entry : filter.registry) keys.emplace_back(entry.first);
  // clang-format off
  const std::vector<std::u16string> kDeclared{
      u"type", u"denoise_level", u"volume_ratio", u"vc_bkgnd_enble",
      u"vc_embd_dims", u"vc_f0_bin", u"vc_f0_enable", u"vc_f0_hopize",
      u"vc_f0_max", u"vc_f0_min", u"vc_frame_len", u"vc_hardcore_nmb",
      u"vc_index_rate", u"vc_model_embd", u"vc_model_index", u"vc_model_main",
      u"vc_model_seperate", u"vc_overloap", u"vc_seperate_enable",
      u"vc_smpr_in", u"vc_smpr_out"};
  // clang-format on
  EXPECT_EQ(keys, kDeclared);
}

// Besides new values, the rows cover every field that shares its default
// with a sibling of its type, where a serializer wired to the wrong member
// would not show in the default output.
TEST(CDdevFilter, WritesChangedFieldsWithTheirNewValues) {
  constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
  const struct {
    void (*change)(CDdevFilter&);
    std::u16string key;
    JsonVariant value;
  } kRows[] = {
      {[](CDdevFilter& f) { f.type = -1; }, u"type", Int(-1)},
      {[](CDdevFilter& f) { f.vcHardcoreNmb = kLowest; }, u"vc_hardcore_nmb",
       Int(kLowest)},
      {[](CDdevFilter& f) { f.vcFrameLen = 8000; }, u"vc_frame_len", Int(8000)},
      {[](CDdevFilter& f) { f.vcSmprIn = 44100; }, u"vc_smpr_in", Int(44100)},
      {[](CDdevFilter& f) { f.vcBkgndEnable = true; }, u"vc_bkgnd_enble",
       Bool(true)},
      {[](CDdevFilter& f) { f.vcSeparateEnable = true; }, u"vc_seperate_enable",
       Bool(true)},
      {[](CDdevFilter& f) { f.vcOverlap = -0.5; }, u"vc_overloap", Real(-0.5)},
      {[](CDdevFilter& f) { f.vcModelEmbd = u"Mod\u00E8le"; }, u"vc_model_embd",
       Text(u"Mod\u00E8le")},
      {[](CDdevFilter& f) { f.vcModelIndex = u"\u6A21\u578B"; },
       u"vc_model_index", Text(u"\u6A21\u578B")},
      {[](CDdevFilter& f) { f.vcModelMain = u"\U0001F600"; }, u"vc_model_main",
       Text(u"\U0001F600")},
      {[](CDdevFilter& f) { f.vcModelSeparate = u"sep"; }, u"vc_model_seperate",
       Text(u"sep")},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::PrintToString(row.key));
    CDdevFilter filter;
    row.change(filter);
    EXPECT_EQ(ToJsonObj(filter),
              WithMember(DefaultFilter(), row.key, row.value));
  }
}

TEST(CDdevFilter, CopyWritesItsOwnFieldsAndWrittenObjectsStayPut) {
  CDdevFilter original;
  original.volumeRatio = 7;
  CDdevFilter copy(original);
  copy.volumeRatio = -55;
  copy.vcModelIndex = u"copy";

  const CJsonObj originalExpected =
      WithMember(DefaultFilter(), u"volume_ratio", Int(7));
  const CJsonObj copyExpected =
      WithMember(WithMember(DefaultFilter(), u"volume_ratio", Int(-55)),
                 u"vc_model_index", Text(u"copy"));
  EXPECT_EQ(copy.registry.size(), 21u);
  EXPECT_EQ(ToJsonObj(original), originalExpected);
  const CJsonObj written = ToJsonObj(copy);
  EXPECT_EQ(written, copyExpected);

  copy.volumeRatio = 1;
  copy.vcModelIndex = u"later";
  EXPECT_EQ(written, copyExpected);
}

TEST(CDdevFilter, SerializerReplacesOnlyItsOwnMember) {
  CDdevFilter filter;
  const struct {
    std::u16string key;
    JsonVariant before;
    JsonVariant after;
  } kRows[] = {
      {u"vc_index_rate", Text(u"0.3"), Real(0.3)},
      {u"type", Bool(true), Int(0)},
      {u"vc_model_main", Int(5), Text(u"")},
      {u"vc_f0_enable", Object({{u"x", Int(1)}}), Bool(true)},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::PrintToString(row.key));
    const auto entry =
        std::find_if(filter.registry.begin(), filter.registry.end(),
                     [&](const auto& e) { return e.first == row.key; });
    ASSERT_NE(entry, filter.registry.end());
    CJsonObj target{{row.key, row.before}, {u"vc_zz", Text(u"kept")}};
    entry->second(&filter, target);
    EXPECT_EQ(target,
              (CJsonObj{{row.key, row.after}, {u"vc_zz", Text(u"kept")}}));
  }
}

}  // namespace
