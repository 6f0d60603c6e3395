#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "json/CJsonObj.h"
#include "json/JsonVariant.h"

// Failed comparisons of objects show their JSON text.
inline void PrintTo(const CJsonObj& object, std::ostream* os) {
  *os << object.ToJsonText();
}

namespace expected_records {

// Values with their alternative spelled out, so that a comparison (which
// checks the index too) cannot pass on a converted construction.
inline JsonVariant Int(std::int32_t number) {
  return JsonVariant(std::in_place_index<4>, number);
}
inline JsonVariant Real(double number) {
  return JsonVariant(std::in_place_index<6>, number);
}
inline JsonVariant Bool(bool flag) {
  return JsonVariant(std::in_place_index<8>, flag);
}
inline JsonVariant Text(std::u16string text) {
  return JsonVariant(std::in_place_index<10>, std::move(text));
}
inline JsonVariant Object(CJsonObj object) {
  return JsonVariant(std::in_place_index<12>, std::move(object));
}

inline CJsonObj WithMember(CJsonObj object, std::u16string_view key,
                           const JsonVariant& value) {
  object[key] = value;
  return object;
}

inline CJsonObj DefaultFilter() {
  return {{u"type", Int(0)},
          {u"denoise_level", Int(2)},
          {u"volume_ratio", Int(100)},
          {u"vc_bkgnd_enble", Bool(false)},
          {u"vc_embd_dims", Int(768)},
          {u"vc_f0_bin", Int(256)},
          {u"vc_f0_enable", Bool(true)},
          {u"vc_f0_hopize", Int(512)},
          {u"vc_f0_max", Int(1100)},
          {u"vc_f0_min", Int(50)},
          {u"vc_frame_len", Int(16000)},
          {u"vc_hardcore_nmb", Int(0)},
          {u"vc_index_rate", Real(0.3)},
          {u"vc_model_embd", Text(u"")},
          {u"vc_model_index", Text(u"")},
          {u"vc_model_main", Text(u"")},
          {u"vc_model_seperate", Text(u"")},
          {u"vc_overloap", Real(0.01)},
          {u"vc_seperate_enable", Bool(false)},
          {u"vc_smpr_in", Int(16000)},
          {u"vc_smpr_out", Int(40000)}};
}

// Names in byte order; reals with 17 significant digits, trailing zeros cut.
inline constexpr std::string_view kDefaultFilterText =
    R"({"denoise_level":2,"type":0,"vc_bkgnd_enble":false,)"
    R"("vc_embd_dims":768,"vc_f0_bin":256,"vc_f0_enable":true,)"
    R"("vc_f0_hopize":512,"vc_f0_max":1100,"vc_f0_min":50,)"
    R"("vc_frame_len":16000,"vc_hardcore_nmb":0,)"
    R"("vc_index_rate":0.29999999999999999,"vc_model_embd":"",)"
    R"("vc_model_index":"","vc_model_main":"","vc_model_seperate":"",)"
    R"("vc_overloap":0.01,"vc_seperate_enable":false,"vc_smpr_in":16000,)"
    R"("vc_smpr_out":40000,"volume_ratio":100})";

inline CJsonObj DefaultConfig() {
  return {{u"dev_id_in", Text(u"")},
          {u"dev_name_in", Text(u"")},
          {u"dev_id_out", Text(u"")},
          {u"dev_name_out", Text(u"")},
          {u"dev_in_filter", Object(DefaultFilter())},
          {u"dev_out_filter", Object(DefaultFilter())}};
}

}  // namespace expected_records
