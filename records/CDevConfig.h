#pragma once

#include <string>

#include "records/CDdevFilter.h"
#include "records/FieldRegistry.h"

// The input and output audio devices, each an identifier and a name, and one
// filter per direction. ToJsonObj writes the six fields under the keys noted
// beside them, each filter as a nested object of its own 21 members.
class CDevConfig {
 public:
  // Every field at its default and registered under its key; each filter a
  // copy of a freshly built default filter.
  CDevConfig();

  // First member, so it is built before and destroyed after the fields.
  FieldRegistry<CDevConfig> registry;

  std::u16string devIdIn;     // "dev_id_in"
  std::u16string devNameIn;   // "dev_name_in"
  std::u16string devIdOut;    // "dev_id_out"
  std::u16string devNameOut;  // "dev_name_out"
  CDdevFilter devInFilter;    // "dev_in_filter"
  CDdevFilter devOutFilter;   // "dev_out_filter"
};

// The process's device configuration: built with its defaults before main
// and destroyed at exit. The conversion run neither reads nor changes it.
extern CDevConfig g_devConfig;
