#include "nxmp/data_unit.h"

namespace {
const std::shared_ptr<const std::string>& empty_bytes() {
  static const auto empty = std::make_shared<const std::string>();
  return empty;
}
}  // namespace

DataUnit::DataUnit() : bytes_(empty_bytes()) {}

DataUnit::DataUnit(const char* text)
    : bytes_(text && *text ? std::make_shared<const std::string>(text) : empty_bytes()) {}

DataUnit::DataUnit(const std::string& text)
    : bytes_(text.empty() ? empty_bytes() : std::make_shared<const std::string>(text)) {}

DataUnit::DataUnit(std::string&& text)
    : bytes_(text.empty() ? empty_bytes() : std::make_shared<const std::string>(std::move(text))) {}

DataUnit::DataUnit(const void* bytes, std::size_t length)
    : bytes_(bytes && length ? std::make_shared<const std::string>(static_cast<const char*>(bytes), length)
                             : empty_bytes()) {}
