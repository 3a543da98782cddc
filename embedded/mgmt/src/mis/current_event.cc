#include "nxmp/current_event.h"

#include "mis/mis.h"

CurrentEvent::CurrentEvent(void* event) {
  bool freed = false;
  event_ = nxmp_mis::lookup_event(event, freed);
  if (!event_) {
    if (freed) throw InvalidX(InvalidX::EVENT_FREED, "CurrentEvent freed before callback!!!");
    throw InvalidX(InvalidX::EVENT_BAD_POINTER, "Attempt to initialize CurrentEvent with bad pointer");
  }
}

CurrentEvent::~CurrentEvent() = default;

DataUnit CurrentEvent::get_event_name() const { return DataUnit(event_->kind); }
DataUnit CurrentEvent::get_objclass() const { return DataUnit(event_->objclass); }
DataUnit CurrentEvent::get_objname() const { return DataUnit(event_->objname); }

Image CurrentEvent::get_image(int which) const {
  return Image(DataUnit(event_->objname), DataUnit(event_->objclass), Platform::def_platform);
}

Morf CurrentEvent::get_info_raw() const { return Morf(event_->info); }
