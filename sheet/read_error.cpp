#include "sheet/read_error.h"

namespace cw::sheet {

std::string FillMessage(std::string_view form,
                        std::initializer_list<std::pair<std::string_view, std::string_view>> fields) {
  std::string text;
  text.reserve(form.size() + 64);
  std::size_t i = 0;
  while (i < form.size()) {
    bool filled = false;
    if (form[i] == '{') {
      for (const auto& [name, value] : fields) {
        if (form.substr(i, name.size()) == name) {
          text += value;
          i += name.size();
          filled = true;
          break;
        }
      }
    }
    if (!filled) text += form[i++];
  }
  return text;
}

}  // namespace cw::sheet
