// One string item of an .xlsx part (<si> in the shared strings, <is> in a cell): plain text
// <t>, or rich-text runs <r><t> joined; the phonetic reading <rPh> is no part of the
// displayed text.
#pragma once

#include <string_view>

namespace cw::sheet::xlsx {

class StringItem {
 public:
  // True when `name` starts text to capture.
  bool Start(std::string_view name) {
    if (name == "rPh") ++phonetic_depth_;
    return name == "t" && phonetic_depth_ == 0;
  }
  void End(std::string_view name) {
    if (name == "rPh" && phonetic_depth_ > 0) --phonetic_depth_;
  }
  void Reset() { phonetic_depth_ = 0; }

 private:
  int phonetic_depth_ = 0;
};

}  // namespace cw::sheet::xlsx
