// NXDBTable: a table of the connection's database, by name.
#pragma once

#include <string>

class NXDBInterface;

class NXDBTable {
 public:
  NXDBTable(const std::string& name, NXDBInterface& connection)
      : name_(name), connection_(connection) {}
  // False for an empty name or a closed connection.
  bool tableExists() const;

 private:
  std::string name_;
  NXDBInterface& connection_;
};
