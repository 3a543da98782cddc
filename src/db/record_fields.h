// The wanted attributes of one record as the texts its attribute map would
// hold, read straight from a row without building the record.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/alarm_attribute.h"

class RecordFields {
 public:
  explicit RecordFields(std::vector<AlarmAttributeId> wanted)
      : wanted_(std::move(wanted)), texts_(wanted_.size()), present_(wanted_.size(), 0) {}

  const std::vector<AlarmAttributeId>& wanted() const { return wanted_; }
  // As AlarmRecord::get_record_id gives it.
  const std::string& record_id() const { return record_id_; }
  // The text of wanted attribute i, or null when the record's map has none.
  const std::string* text(std::size_t i) const { return present_[i] ? &texts_[i] : nullptr; }

  // For the reader, which refills one object row after row.
  std::string& record_id() { return record_id_; }
  std::string& set(std::size_t i) {
    present_[i] = 1;
    return texts_[i];
  }
  void clear(std::size_t i) { present_[i] = 0; }

 private:
  std::vector<AlarmAttributeId> wanted_;
  std::string record_id_;
  std::vector<std::string> texts_;
  std::vector<char> present_;
};
