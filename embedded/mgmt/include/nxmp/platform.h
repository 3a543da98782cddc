// Platform: a handle on the management platform and its MIS connection.
//
// The default platform is this process's connection to the embedded MIS,
// whose objects live in the alarm database named by NX_ALARM_DB. A handle
// made from names alone is not connected (get_connection_fd() is 0) until a
// connected handle, such as default_platform(), is assigned to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "nxmp/callback.h"
#include "nxmp/data_unit.h"
#include "nxmp/error.h"

namespace nxmp_mis {
class Mis;
}

// The members of a notification's information, in the syntax's order.
class Syntax {
 public:
  Syntax() = default;
  explicit Syntax(std::vector<std::string> members) : members_(std::move(members)) {}
  bool is_null() const { return members_.empty(); }
  const std::vector<std::string>& get_member_names() const { return members_; }

 private:
  std::vector<std::string> members_;
};

class Platform : public Error {
 public:
  Platform() = default;
  Platform(const DataUnit& application, const DataUnit& host);

  // This process's connection to the MIS, connecting on first use; when the
  // MIS cannot be reached the handle is unconnected and says why.
  static Platform default_platform();
  // The default platform as a value every Image may be made on.
  static Platform def_platform;

  // Non-zero while connected.
  int get_connection_fd() const;

  // Subscribes cb to an event ("OBJECT_CREATED", "OBJECT_DESTROYED",
  // "ATTR_CHANGED", and "EVENTS_LOST" and "EVENT_RUN_END", which carry no
  // object); its argument is the event pointer, for CurrentEvent. Events
  // come in runs, each followed by EVENT_RUN_END.
  bool when(const DataUnit& event, const Callback& cb);
  // Ends every subscription whose callback has this client data (a client
  // object going away). Taken under HviLock, it also waits out a delivery.
  void cancel_when(void* client_data);

  // "PLATFORM_OBJNAME": the system object's name; "APPLICATION_OBJNAME":
  // this process's application object. Empty for other names or when not
  // connected.
  DataUnit get_prop(const DataUnit& name) const;

  // The information syntax of an event type (registry name, bare or fully
  // qualified); null when the type is unknown or carries no information.
  Syntax get_when_syntax(const DataUnit& event_type) const;

  // The connection behind the handle (null when not connected).
  nxmp_mis::Mis* mis() const;

 private:
  // A handle that always reaches the process's current connection (the
  // default platform and its copies).
  static Platform following_default();

  std::shared_ptr<nxmp_mis::Mis> mis_;
  bool follows_default_ = false;
};
