// AlarmSchema: the fixed map from attribute name (and "moid") to the column
// that holds it in the alarm tables.
#pragma once

#include <string>
#include <unordered_map>

class AlarmSchema {
 public:
  // The single object, created on first use and kept until the process ends.
  static AlarmSchema* get_instance();

  // The column for an attribute name (exact match); empty when unknown.
  std::string getColumnName(const std::string& attribute_name) const;

  AlarmSchema(const AlarmSchema&) = delete;
  AlarmSchema& operator=(const AlarmSchema&) = delete;

 private:
  AlarmSchema();

  const std::unordered_map<std::string, std::string> attr_to_column_map;
};
