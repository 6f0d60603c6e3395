#include "records/CDevConfig.h"

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "json/CJsonObj.h"
#include "json/JsonVariant.h"

namespace {

// Room for the longest key, "dev_out_filter", and its NUL.
constexpr std::size_t kKeyCapacity = 15;

// The key texts in field order; one array, so address order is field order.
constexpr char16_t kKeys[][kKeyCapacity] = {
    u"dev_id_in",    u"dev_name_in",   u"dev_id_out",
    u"dev_name_out", u"dev_in_filter", u"dev_out_filter",
};

template <std::size_t Index, std::u16string CDevConfig::*Field>
void WriteText(CDevConfig* config, CJsonObj& target) {
  const JsonVariant value(std::in_place_type<std::u16string>, config->*Field);
  target[std::u16string_view(kKeys[Index])] = value;
}

// The filter goes in as the object that its own registry writes.
template <std::size_t Index, CDdevFilter CDevConfig::*Field>
void WriteFilter(CDevConfig* config, CJsonObj& target) {
  const JsonVariant value(std::in_place_type<CJsonObj>,
                          ToJsonObj(config->*Field));
  target[std::u16string_view(kKeys[Index])] = value;
}

using Writer = void (*)(CDevConfig*, CJsonObj&);

// Row for row with kKeys.
constexpr Writer kWriters[] = {
    &WriteText<0, &CDevConfig::devIdIn>,
    &WriteText<1, &CDevConfig::devNameIn>,
    &WriteText<2, &CDevConfig::devIdOut>,
    &WriteText<3, &CDevConfig::devNameOut>,
    &WriteFilter<4, &CDevConfig::devInFilter>,
    &WriteFilter<5, &CDevConfig::devOutFilter>,
};
static_assert(std::size(kWriters) == std::size(kKeys));

}  // namespace

// Each filter is copied from a fresh default filter; the cast keeps that copy
// from being elided into plain default construction. A copy is equivalent
// because the copied registry writes the copy's own fields.
CDevConfig::CDevConfig()
    : devInFilter(static_cast<const CDdevFilter&>(CDdevFilter())),
      devOutFilter(static_cast<const CDdevFilter&>(CDdevFilter())) {
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    RegisterField(registry, kKeys[i], kWriters[i]);
  }
}
