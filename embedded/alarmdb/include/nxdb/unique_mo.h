// UniqueMO: the database's integer identity of a managed object, keyed by
// the BER encoding of its distinguished name (table nxmoid).
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "nxdb/connect_info.h"
#include "nxmp/data_unit.h"

class NXDBInterface;

namespace nxdb {

class Statement;

// The statements an identity is found and made with.
extern const char kIdentitySelect[];  // ?1: the name's BER
extern const char kIdentityInsert[];  // ?1: the name's BER; a name there keeps its id

// The identity of ber through statements prepared from kIdentitySelect and
// (to make one for an unknown name) kIdentityInsert: looked up first, as
// most names are known. id is -1 for an unknown name when insert is null;
// false with error set when the database failed. Both are left reset.
bool identity_through(Statement& select, Statement* insert, const DataUnit& ber, long& id,
                      std::string& error);

}  // namespace nxdb

class UniqueMO {
 public:
  // create: give unknown names a new identity (else they get -1);
  // cache_size: how many identities to remember in memory (0: none).
  UniqueMO(const NXDBConnectInfo& info, bool create, int cache_size);
  ~UniqueMO();
  UniqueMO(const UniqueMO&) = delete;
  UniqueMO& operator=(const UniqueMO&) = delete;

  // The identity (1 or more) for the encoding, or -1 when the name is empty,
  // unknown (without create), or the database cannot be used.
  long get_unique_id(const DataUnit& ber) const;
  const std::string& lastError() const { return error_; }

 private:
  std::unique_ptr<NXDBInterface> connection_;
  bool create_;
  std::size_t cache_size_;
  mutable std::unordered_map<std::string, long> cache_;
  mutable std::string error_;
};
