// AlarmRecord: one alarm log record as the system handles it, a plain value:
// its MIS name, log name and record identifier in the platform's value
// notation, and the attribute values as read. Changes to records are
// written by the service (AlarmService::change_state).
#pragma once

#include <cstddef>
#include <list>
#include <string>

#include "model/alarm_attribute.h"

class AlarmRecord {
 public:
  AlarmRecord();
  AlarmRecord(const std::string& mis_name, const std::string& log_name,
              const std::string& record_id);
  // The map is copied even when an identifying text is empty.
  AlarmRecord(const std::string& mis_name, const std::string& log_name,
              const std::string& record_id, const AlarmAttributeMap& attributes);
  // Parallel lists of attribute names and value texts, as the database
  // reader and the event handling deliver them.
  AlarmRecord(const std::string& mis_name, const std::string& log_name,
              const std::string& record_id, const std::list<std::string>& names,
              const std::list<std::string>& values);
  // A copy is always initialised.
  AlarmRecord(const AlarmRecord& other);
  // Copies the texts and attributes; keeps this record's flag.
  AlarmRecord& operator=(const AlarmRecord& other);

  // Same MIS name, log name and record identifier, as stored.
  bool operator==(const AlarmRecord& other) const;
  bool operator!=(const AlarmRecord& other) const { return !(*this == other); }

  // The MIS name without its notation (the text between the first quotes).
  std::string get_mis_name() const;
  std::string get_log_name() const { return log_name_; }
  std::string get_record_id() const { return record_id_; }
  void set_mis_name(const std::string& text) { mis_name_ = text; }
  void set_log_name(const std::string& text) { log_name_ = text; }
  void set_record_id(const std::string& text) { record_id_ = text; }

  bool is_initialized() const { return initialized_; }
  const AlarmAttributeMap& get_attribute_list() const { return attributes_; }

  std::string get_alarm_attribute(const std::string& name) const;
  bool is_alarm_attribute_set(const std::string& name) const;

  void print_alarm_record() const;

  // The text the attribute map keeps for a value read under id, and the
  // record identifier as the record keeps it: for readers that hand out
  // single attributes instead of records.
  static std::string map_text(AlarmAttributeId id, const std::string& value);
  // The same written over value (its storage reused where the text changes).
  static void map_text_over(AlarmAttributeId id, std::string& value);
  static std::string normalised_record_id(const std::string& record_id);

  static constexpr std::size_t MAP_BUCKETS = 64;

 private:
  // Brings the three texts into value notation and marks the record initialised.
  void normalise(const std::string& mis_name, const std::string& log_name,
                 const std::string& record_id);

  std::string mis_name_;
  std::string log_name_;
  std::string record_id_;
  bool initialized_ = false;
  AlarmAttributeMap attributes_;
};
