// CurrentEvent: the event a subscription callback was given. Valid only while
// the callback runs; a pointer to an event already delivered, or any other
// pointer, makes the constructor throw InvalidX.
#pragma once

#include <memory>

#include "nxmp/asn1_value.h"
#include "nxmp/data_unit.h"
#include "nxmp/image.h"

namespace nxmp_mis {
struct Event;
}

// The raw event information.
class Morf {
 public:
  Morf() = default;
  explicit Morf(Asn1Value value) : value_(std::move(value)) {}
  const Asn1Value& get_value() const { return value_; }

 private:
  Asn1Value value_;
};

class CurrentEvent {
 public:
  explicit CurrentEvent(void* event);
  ~CurrentEvent();

  DataUnit get_event_name() const;  // "OBJECT_CREATED", ...
  DataUnit get_objclass() const;
  DataUnit get_objname() const;
  // An image of the source object (the argument is accepted for callers'
  // compatibility); not booted: the object may be gone.
  Image get_image(int which) const;
  Morf get_info_raw() const;

 private:
  std::shared_ptr<const nxmp_mis::Event> event_;
};
