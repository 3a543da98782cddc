// The wanted attributes of one record as the texts its attribute map would
// hold, read straight from a row without building the record.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/alarm_attribute.h"

// An attribute listed more than once has one text, that of its first
// listing: a record holds one copy of each attribute however often it is
// asked for.
class RecordFields {
 public:
  explicit RecordFields(std::vector<AlarmAttributeId> wanted) : wanted_(std::move(wanted)), slot_(wanted_.size()) {
    std::vector<std::size_t> first(ALARM_ATTRIBUTE_ID_COUNT, kNone);
    for (std::size_t i = 0; i < wanted_.size(); ++i) {
      const auto id = static_cast<std::size_t>(wanted_[i]);
      if (id < first.size() && first[id] != kNone) {
        slot_[i] = slot_[first[id]];
        continue;
      }
      if (id < first.size()) first[id] = i;
      slot_[i] = texts_.size();
      owner_.push_back(i);
      texts_.emplace_back();
    }
    present_.assign(texts_.size(), 0);
  }

  const std::vector<AlarmAttributeId>& wanted() const { return wanted_; }
  // True when wanted attribute i was listed before i.
  bool repeat(std::size_t i) const { return owner_[slot_[i]] != i; }
  // As AlarmRecord::get_record_id gives it.
  const std::string& record_id() const { return record_id_; }
  // The text of wanted attribute i, or null when the record's map has none.
  const std::string* text(std::size_t i) const { return present_[slot_[i]] ? &texts_[slot_[i]] : nullptr; }

  // For the reader, which refills one object row after row.
  std::string& record_id() { return record_id_; }
  std::string& set(std::size_t i) {
    present_[slot_[i]] = 1;
    return texts_[slot_[i]];
  }
  void clear(std::size_t i) { present_[slot_[i]] = 0; }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  std::vector<AlarmAttributeId> wanted_;
  std::vector<std::size_t> slot_;   // wanted index -> text
  std::vector<std::size_t> owner_;  // text -> wanted index of its first listing
  std::string record_id_;
  std::vector<std::string> texts_;
  std::vector<char> present_;
};
