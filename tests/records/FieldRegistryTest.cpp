#include "records/FieldRegistry.h"

#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ExpectedRecords.h"
#include "json/CJsonObj.h"

namespace {

using expected_records::Int;

// Text order (alpha, mid, zeta) differs from address order; the second
// "alpha" is an equal text at another address.
constexpr char16_t kProbeKeys[][6] = {u"zeta", u"alpha", u"mid", u"alpha"};

using Visit = std::pair<std::size_t, int>;  // (key row, serializer tag)

struct CProbe {
  FieldRegistry<CProbe> registry;
  std::vector<Visit> visits;
};

template <std::size_t Row, int Tag>
void WriteTag(CProbe* probe, CJsonObj& target) {
  probe->visits.emplace_back(Row, Tag);
  target[std::u16string_view(kProbeKeys[Row])] = Int(Tag);
}

using Registration = std::pair<std::size_t, FieldSerializer<CProbe>>;

TEST(FieldRegistry, RegistersByKeyAddressAndWalksInAddressOrder) {
  const struct {
    const char* name;
    std::vector<Registration> registrations;
    std::vector<Visit> visits;
    CJsonObj written;
  } kCases[] = {
      {"neither registration nor text order",
       {{2, &WriteTag<2, 1>}, {0, &WriteTag<0, 1>}, {1, &WriteTag<1, 1>}},
       {{0, 1}, {1, 1}, {2, 1}},
       {{u"zeta", Int(1)}, {u"alpha", Int(1)}, {u"mid", Int(1)}}},
      {"a known address keeps the first serializer",
       {{0, &WriteTag<0, 1>}, {0, &WriteTag<0, 2>}},
       {{0, 1}},
       {{u"zeta", Int(1)}}},
      {"an equal text at another address is another key",
       {{3, &WriteTag<3, 2>}, {1, &WriteTag<1, 1>}},
       {{1, 1}, {3, 2}},
       {{u"alpha", Int(2)}}},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.name);
    CProbe probe;
    for (const auto& [row, serializer] : test.registrations) {
      RegisterField(probe.registry, kProbeKeys[row], serializer);
    }
    EXPECT_EQ(probe.registry.size(), test.visits.size());
    EXPECT_EQ(ToJsonObj(probe), test.written);
    EXPECT_EQ(probe.visits, test.visits);
  }
}

TEST(ToJsonObj, EntryWithoutCallableThrowsBadFunctionCall) {
  CProbe probe;
  RegisterField(probe.registry, kProbeKeys[0], &WriteTag<0, 1>);
  RegisterField(probe.registry, kProbeKeys[1], FieldSerializer<CProbe>());
  RegisterField(probe.registry, kProbeKeys[2], &WriteTag<2, 1>);
  EXPECT_THROW(static_cast<void>(ToJsonObj(probe)), std::bad_function_call);
  EXPECT_EQ(probe.visits, std::vector<Visit>{Visit(0, 1)});
}

}  // namespace
