#include "commands/dialogs.h"

#include "run/statements.h"

namespace cw::commands {

void Dialogs::ShowApplicationError(std::string_view location, int statement, std::string_view description) {
  Show(run::ApplicationErrorText(location, statement, description), kApplicationErrorTitle,
       run::MessageIcon::kExclamation, run::MessageButtons::kOk);
}

}  // namespace cw::commands
