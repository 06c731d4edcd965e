// Front-end sinks for the wallet session that keep what they are given, for tests and fuzzing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/session/sinks.h"

namespace pelvane::testing {

struct RecordingLog final : LogSink {
  void AppendLine(std::string_view line) override { lines.emplace_back(line); }
  // The lines from index on.
  std::vector<std::string> From(std::size_t index) const {
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(index, lines.size())),
            lines.end()};
  }
  bool Contains(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::vector<std::string> lines;
};

struct RecordingLabels final : LabelSink {
  void SetLabel(WalletLabel label, std::string_view text) override {
    set.emplace_back(label, std::string(text));
  }
  std::vector<std::pair<WalletLabel, std::string>> set;
};

struct RecordingReporter final : ErrorReporter {
  void ReportError(std::string_view message) noexcept override { messages.emplace_back(message); }
  std::vector<std::string> messages;
};

}  // namespace pelvane::testing
