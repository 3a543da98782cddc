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

  // An SQL condition that holds when the table named by the text expression
  // name_sql exists, as tableExists asks it: lets a query that finds table
  // names say at once which are there. "" for a closed connection.
  static std::string existsCondition(const NXDBInterface& connection, const std::string& name_sql);

 private:
  std::string name_;
  NXDBInterface& connection_;
};
