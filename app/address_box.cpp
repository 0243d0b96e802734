#include "app/address_box.h"

#include "ui/server_address.h"

namespace kelvane {

QValidator::State AddressValidator::validate(QString& input, int&) const {
  switch (ui::CheckAddress(input.toStdString())) {
    case ui::AddressState::Acceptable:
      return Acceptable;
    case ui::AddressState::Intermediate:
      return Intermediate;
    case ui::AddressState::Invalid:
      break;
  }
  return Invalid;
}

}  // namespace kelvane
