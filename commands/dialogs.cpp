#include "commands/dialogs.h"

#include "vcard/statements.h"

namespace cw::commands {

void Dialogs::ShowApplicationError(std::string_view location, int statement, std::string_view description) {
  Show(vcard::ApplicationErrorText(location, statement, description), kApplicationErrorTitle,
       vcard::MessageIcon::kExclamation, vcard::MessageButtons::kOk);
}

}  // namespace cw::commands
