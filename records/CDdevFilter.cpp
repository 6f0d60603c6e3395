#include "records/CDdevFilter.h"

#include <cstddef>

#include "records/FieldRegistry.h"

namespace {

// Room for the longest key, "vc_seperate_enable", and its NUL.
constexpr std::size_t kKeyCapacity = 19;

// The key texts in field order.
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

}  // namespace

CDdevFilter::CDdevFilter() {
  // Row for row with kKeys.
  RegisterFields<kKeys, &CDdevFilter::type, &CDdevFilter::denoiseLevel,
                 &CDdevFilter::volumeRatio, &CDdevFilter::vcBkgndEnable,
                 &CDdevFilter::vcEmbdDims, &CDdevFilter::vcF0Bin,
                 &CDdevFilter::vcF0Enable, &CDdevFilter::vcF0HopSize,
                 &CDdevFilter::vcF0Max, &CDdevFilter::vcF0Min,
                 &CDdevFilter::vcFrameLen, &CDdevFilter::vcHardcoreNmb,
                 &CDdevFilter::vcIndexRate, &CDdevFilter::vcModelEmbd,
                 &CDdevFilter::vcModelIndex, &CDdevFilter::vcModelMain,
                 &CDdevFilter::vcModelSeparate, &CDdevFilter::vcOverlap,
                 &CDdevFilter::vcSeparateEnable, &CDdevFilter::vcSmprIn,
                 &CDdevFilter::vcSmprOut>(*this);
}
