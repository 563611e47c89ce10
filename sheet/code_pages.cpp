#include "sheet/code_pages.h"

#include <array>

namespace cw::sheet {
namespace {

constexpr std::array<WindowsCodePage, 14> kCodePages = {{
    {874, "windows-874"},
    {932, "windows-31j"},
    {936, "windows-936"},
    {949, "windows-949"},
    {950, "windows-950"},
    {1250, "windows-1250"},
    {1251, "windows-1251"},
    {1252, "windows-1252"},
    {1253, "windows-1253"},
    {1254, "windows-1254"},
    {1255, "windows-1255"},
    {1256, "windows-1256"},
    {1257, "windows-1257"},
    {1258, "windows-1258"},
}};

}  // namespace

const WindowsCodePage* FindWindowsCodePage(int number) {
  for (const auto& page : kCodePages) {
    if (page.number == number) return &page;
  }
  return nullptr;
}

}  // namespace cw::sheet
