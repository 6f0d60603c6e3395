#include "records/CDevConfig.h"

#include <cstddef>

#include "records/CDdevFilter.h"
#include "records/FieldRegistry.h"

namespace {

// Room for the longest key, "dev_out_filter", and its NUL.
constexpr std::size_t kKeyCapacity = 15;

// The key texts in field order.
constexpr char16_t kKeys[][kKeyCapacity] = {
    u"dev_id_in",    u"dev_name_in",   u"dev_id_out",
    u"dev_name_out", u"dev_in_filter", u"dev_out_filter",
};

}  // namespace

// Each filter is copied from a fresh default filter; the cast keeps that copy
// from being elided into plain default construction. A copy is equivalent
// because the copied registry writes the copy's own fields.
CDevConfig::CDevConfig()
    : devInFilter(static_cast<const CDdevFilter&>(CDdevFilter())),
      devOutFilter(static_cast<const CDdevFilter&>(CDdevFilter())) {
  // Row for row with kKeys; each filter goes in as a nested object.
  RegisterFields<kKeys, &CDevConfig::devIdIn, &CDevConfig::devNameIn,
                 &CDevConfig::devIdOut, &CDevConfig::devNameOut,
                 &CDevConfig::devInFilter, &CDevConfig::devOutFilter>(*this);
}
