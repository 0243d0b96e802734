#pragma once
// The IP box's validator: the toolkit-free address reading of ui/server_address.h over the
// box's QString.
#include <QValidator>

namespace kelvane {

// Refuses keystrokes that cannot lead to an address (Invalid), lets through what may still
// become one (Intermediate) and accepts exactly what ui::ReadAddress can use (Acceptable).
class AddressValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace kelvane
