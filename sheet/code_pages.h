// The Windows ANSI code pages the program reads (.xls text) and writes (ANSI vCard files):
// the ICU converter for each (the ANSI file's CHARSET labels are the run's regional settings').
#pragma once

namespace cw::sheet {

struct WindowsCodePage {
  int number;             // 1252, 932, ...
  const char* converter;  // ICU's converter for exactly this page: "windows-1252", "windows-31j"
};

// The code page numbered `number` (874, 932, 936, 949, 950, 1250 to 1258), or nullptr.
const WindowsCodePage* FindWindowsCodePage(int number);

}  // namespace cw::sheet
