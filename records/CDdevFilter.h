#pragma once

#include <cstdint>
#include <string>

#include "records/FieldRegistry.h"

// One audio filter's settings: denoise, volume and voice conversion. Plain
// public fields that nothing here interprets; ToJsonObj writes all 21 under
// the keys noted beside them, misspellings included. Intentionally copyable:
// a copy writes its own values.
class CDdevFilter {
 public:
  // Every field at its default and registered under its key.
  CDdevFilter();

  // First member, so it is built before and destroyed after the fields.
  FieldRegistry<CDdevFilter> registry;

  std::int32_t type = 0;            // "type"
  std::int32_t denoiseLevel = 2;    // "denoise_level"
  std::int32_t volumeRatio = 100;   // "volume_ratio"
  bool vcBkgndEnable = false;       // "vc_bkgnd_enble"
  std::int32_t vcEmbdDims = 768;    // "vc_embd_dims"
  std::int32_t vcF0Bin = 256;       // "vc_f0_bin"
  bool vcF0Enable = true;           // "vc_f0_enable"
  std::int32_t vcF0HopSize = 512;   // "vc_f0_hopize"
  std::int32_t vcF0Max = 1100;      // "vc_f0_max"
  std::int32_t vcF0Min = 50;        // "vc_f0_min"
  std::int32_t vcFrameLen = 16000;  // "vc_frame_len"
  std::int32_t vcHardcoreNmb = 0;   // "vc_hardcore_nmb"
  double vcIndexRate = 0.3;         // "vc_index_rate"
  std::u16string vcModelEmbd;       // "vc_model_embd"
  std::u16string vcModelIndex;      // "vc_model_index"
  std::u16string vcModelMain;       // "vc_model_main"
  std::u16string vcModelSeparate;   // "vc_model_seperate"
  double vcOverlap = 0.01;          // "vc_overloap"
  bool vcSeparateEnable = false;    // "vc_seperate_enable"
  std::int32_t vcSmprIn = 16000;    // "vc_smpr_in"
  std::int32_t vcSmprOut = 40000;   // "vc_smpr_out"
};
