#include "nxmp/platform.h"

#include "metadata.h"
#include "mis/mis.h"

Platform Platform::def_platform = Platform::following_default();

Platform Platform::following_default() {
  Platform p;
  p.follows_default_ = true;
  return p;
}

Platform::Platform(const DataUnit& application, const DataUnit& host) {}

Platform Platform::default_platform() {
  Platform p;
  std::string error;
  p.mis_ = nxmp_mis::current_mis(error);
  if (!p.mis_) p.fail(NOT_CONNECTED, error);
  return p;
}

nxmp_mis::Mis* Platform::mis() const {
  if (mis_) return mis_->connection_fd() != 0 ? mis_.get() : nullptr;
  // def_platform and other unbound handles reach the process's connection.
  if (follows_default_) {
    std::string ignored;
    auto current = nxmp_mis::current_mis(ignored);
    return current.get();  // kept alive by the process-wide holder
  }
  return nullptr;
}

int Platform::get_connection_fd() const {
  nxmp_mis::Mis* m = mis();
  return m ? m->connection_fd() : 0;
}

bool Platform::when(const DataUnit& event, const Callback& cb) {
  nxmp_mis::Mis* m = mis();
  if (m == nullptr) return fail(NOT_CONNECTED, "not connected to the MIS");
  const std::string kind = event.str();
  if (kind != "OBJECT_CREATED" && kind != "OBJECT_DESTROYED" && kind != "ATTR_CHANGED" &&
      kind != "EVENTS_LOST" && kind != "EVENT_RUN_END") {
    return fail(BAD_VALUE, "no such event: " + kind);
  }
  m->subscribe(kind, cb);
  return true;
}

void Platform::cancel_when(void* client_data) {
  if (nxmp_mis::Mis* m = mis()) m->unsubscribe(client_data);
}

DataUnit Platform::get_prop(const DataUnit& name) const {
  nxmp_mis::Mis* m = mis();
  if (m == nullptr) return DataUnit();
  if (name == nxmp::PLATFORM_OBJNAME) return DataUnit(m->system_object_name());
  if (name == nxmp::APPLICATION_OBJNAME) return DataUnit(m->application_object_name());
  return DataUnit();
}

Syntax Platform::get_when_syntax(const DataUnit& event_type) const {
  const nxmp_meta::Entry* e = nxmp_meta::find(event_type.view());
  if (e == nullptr || e->kind != nxmp_meta::EntryKind::Notification || e->type == nullptr) {
    return Syntax();
  }
  std::vector<std::string> members;
  for (const nxmp_meta::Field& f : e->type->fields) members.emplace_back(f.name);
  return Syntax(std::move(members));
}
