#include "records/CDdevFilter.h"

#include <cstddef>
#include <iterator>
#include <string_view>
#include <type_traits>
#include <utility>

#include "json/CJsonObj.h"
#include "json/JsonVariant.h"

namespace {

// Room for the longest key, "vc_seperate_enable", and its NUL.
constexpr std::size_t kKeyCapacity = 19;

// The key texts in field order. Rows of one array lie at ascending addresses,
// so a walk over the registry visits the fields in declaration order on every
// compiler, which separate constants would not promise.
constexpr char16_t kKeys[][kKeyCapacity] = {
    u"type",
    u"denoise_level",
    u"volume_ratio",
    u"vc_bkgnd_enble",
    u"vc_embd_dims",
    u"vc_f0_bin",
    u"vc_f0_enable",
    u"vc_f0_hopize",
    u"vc_f0_max",
    u"vc_f0_min",
    u"vc_frame_len",
    u"vc_hardcore_nmb",
    u"vc_index_rate",
    u"vc_model_embd",
    u"vc_model_index",
    u"vc_model_main",
    u"vc_model_seperate",
    u"vc_overloap",
    u"vc_seperate_enable",
    u"vc_smpr_in",
    u"vc_smpr_out",
};

// Stores a copy of the field under kKeys[Index]. The field's declared type
// names the alternative; a converting construction would be free to pick
// another one for an int or a bool.
template <std::size_t Index, auto Field>
void WriteField(CDdevFilter* filter, CJsonObj& target) {
  using Type = std::remove_cvref_t<decltype(filter->*Field)>;
  const JsonVariant value(std::in_place_type<Type>, filter->*Field);
  target[std::u16string_view(kKeys[Index])] = value;
}

using Writer = void (*)(CDdevFilter*, CJsonObj&);

// Row for row with kKeys.
constexpr Writer kWriters[] = {
    &WriteField<0, &CDdevFilter::type>,
    &WriteField<1, &CDdevFilter::denoiseLevel>,
    &WriteField<2, &CDdevFilter::volumeRatio>,
    &WriteField<3, &CDdevFilter::vcBkgndEnable>,
    &WriteField<4, &CDdevFilter::vcEmbdDims>,
    &WriteField<5, &CDdevFilter::vcF0Bin>,
    &WriteField<6, &CDdevFilter::vcF0Enable>,
    &WriteField<7, &CDdevFilter::vcF0HopSize>,
    &WriteField<8, &CDdevFilter::vcF0Max>,
    &WriteField<9, &CDdevFilter::vcF0Min>,
    &WriteField<10, &CDdevFilter::vcFrameLen>,
    &WriteField<11, &CDdevFilter::vcHardcoreNmb>,
    &WriteField<12, &CDdevFilter::vcIndexRate>,
    &WriteField<13, &CDdevFilter::vcModelEmbd>,
    &WriteField<14, &CDdevFilter::vcModelIndex>,
    &WriteField<15, &CDdevFilter::vcModelMain>,
    &WriteField<16, &CDdevFilter::vcModelSeparate>,
    &WriteField<17, &CDdevFilter::vcOverlap>,
    &WriteField<18, &CDdevFilter::vcSeparateEnable>,
    &WriteField<19, &CDdevFilter::vcSmprIn>,
    &WriteField<20, &CDdevFilter::vcSmprOut>,
};
static_assert(std::size(kWriters) == std::size(kKeys));

}  // namespace

CDdevFilter::CDdevFilter() {
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    RegisterField(registry, kKeys[i], kWriters[i]);
  }
}
