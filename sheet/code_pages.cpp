#include "sheet/code_pages.h"

#include <array>

namespace cw::sheet {
namespace {

// Where Windows' page extends a standard one (874, 932, 936, 949, 950), the common name is
// that standard's, which every program knows and which holds every letter of the language.
constexpr std::array<WindowsCodePage, 14> kCodePages = {{
    {874, "windows-874", "TIS-620"},
    {932, "windows-31j", "SHIFT_JIS"},
    {936, "windows-936", "GBK"},
    {949, "windows-949", "EUC-KR"},
    {950, "windows-950", "BIG5"},
    {1250, "windows-1250", "WINDOWS-1250"},
    {1251, "windows-1251", "WINDOWS-1251"},
    {1252, "windows-1252", "WINDOWS-1252"},
    {1253, "windows-1253", "WINDOWS-1253"},
    {1254, "windows-1254", "WINDOWS-1254"},
    {1255, "windows-1255", "WINDOWS-1255"},
    {1256, "windows-1256", "WINDOWS-1256"},
    {1257, "windows-1257", "WINDOWS-1257"},
    {1258, "windows-1258", "WINDOWS-1258"},
}};

}  // namespace

const WindowsCodePage* FindWindowsCodePage(int number) {
  for (const auto& page : kCodePages) {
    if (page.number == number) return &page;
  }
  return nullptr;
}

}  // namespace cw::sheet
