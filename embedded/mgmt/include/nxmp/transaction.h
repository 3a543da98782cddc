// Transaction: one unit of work on the MIS.
//
// While a Transaction is open on a thread, the changes that thread makes
// through Image (store, destroy, send_event) are one database transaction
// instead of one each: commit() makes them durable together and tells the
// event readers once; a Transaction that ends without a successful commit()
// undoes all of them. Each change still emits its own notification, in
// order.
//
// A change the MIS refuses before it writes anything (an unknown object, a
// value it cannot take) fails alone, as it would outside. A change that
// fails in the database fails the unit: every later change is refused, and
// commit() undoes everything and reports the failure.
//
// A Transaction opened while one is open on the same thread joins it: only
// the outermost commits; an inner one that ends without commit() fails the
// whole unit. Changes of other threads wait until the unit has ended.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "nxmp/error.h"
#include "nxmp/platform.h"

class Transaction : public Error {
 public:
  // Opens the unit (the outermost one begins the database transaction and
  // takes the database's write lock); on failure get_error_type() is set
  // and the Transaction is not open.
  explicit Transaction(const Platform& platform);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool is_open() const { return open_; }
  // Names the log records (object names) the unit is about to change, in
  // order: they are then read a chunk at a time instead of one by one.
  // Only a speed-up: a name of no record is left to the change naming it.
  void read_ahead(const std::vector<std::string>& object_names);
  // Ends the unit keeping its changes: the outermost commits. False, with
  // nothing stored, when a change of the unit failed in the database or
  // the commit did.
  bool commit();
  // Ends the unit undoing its changes.
  void rollback();

 private:
  std::shared_ptr<nxmp_mis::Mis> mis_;
  bool open_ = false;
};
