// The windows' error reporter: a modal error box with the error icon under the title "Pelvane".
#pragma once

#include "app/session/sinks.h"

namespace pelvane {

class MessageBoxReporter final : public ErrorReporter {
 public:
  void ReportError(std::string_view message) noexcept override;
};

}  // namespace pelvane
