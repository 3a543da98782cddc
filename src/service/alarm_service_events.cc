// The platform event handlers of AlarmService: object creations, deletions
// and attribute changes of alarm records in watched logs become AlarmRecords
// for the service's callback lists; lost events become one resync per
// watched log, and the end of each run of events is passed on.
#include <algorithm>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "model/object_name.h"
#include "service/alarm_service.h"
#include "service/mis_impl.h"

void AlarmService::nx_add_cb(void* client_data, void* event) {
  static_cast<AlarmService*>(client_data)->nx_add_cb(event);
}
void AlarmService::nx_delete_cb(void* client_data, void* event) {
  static_cast<AlarmService*>(client_data)->nx_delete_cb(event);
}
void AlarmService::nx_attr_cb(void* client_data, void* event) {
  static_cast<AlarmService*>(client_data)->nx_attr_cb(event);
}
void AlarmService::nx_lost_cb(void* client_data, void* event) {
  static_cast<AlarmService*>(client_data)->nx_lost_cb(event);
}
void AlarmService::nx_run_end_cb(void* client_data, void*) {
  auto* service = static_cast<AlarmService*>(client_data);
  service->execute(service->run_end_callbacks, nullptr);
}

void AlarmService::execute_resync_callback(AlarmRecord* record) {
  std::unique_ptr<AlarmRecord> owned(record);
  execute(resync_callbacks, record);
}

void AlarmService::nx_lost_cb(void*) {
  // Each watched log once, however often it is listed, in the order watched.
  std::vector<std::string> logs;
  for (const std::string& name : logs_snapshot()) {
    if (std::find(logs.begin(), logs.end(), name) == logs.end()) logs.push_back(name);
  }
  for (const std::string& name : logs) {
    const std::optional<ObjectName> log_name = ObjectName::parse(name);
    const NameValue* log_id = log_name ? log_name->find("logId") : nullptr;
    if (log_id == nullptr) continue;
    const NameValue* system = log_name->find("systemId");
    const std::string mis_name = system != nullptr ? system->text() : MisImpl::get_local_mis_name();
    // A record of the log itself: record number 0, which no record has.
    std::list<std::string> none;
    execute_resync_callback(new AlarmRecord(mis_name, log_id->notation(), "number:0", none, none));
  }
}

namespace {

enum class EventKind { kCreated, kDestroyed, kChanged };

// The shared handling of the three events; the service's members call it.
struct EventHandling {
  AlarmService& service;
  EventKind kind;

  void run(void* event_pointer,
           const std::unordered_set<std::string>& record_classes,
           const std::function<bool(const std::string&)>& watched) {
    CurrentEvent event(event_pointer);
    const std::string objclass = event.get_objclass().str();
    // Logs' own creations and deletions are no record's: nothing listens.
    if (record_classes.find(objclass) == record_classes.end()) return;
    Image image = event.get_image(1);
    // The record's name, read as a whole: quotes may hold a '/'.
    const std::optional<ObjectName> record_name = ObjectName::parse(MisImpl::o2f(image.get_oi()));
    if (!record_name || record_name->parts().size() < 2) return;
    if (record_name->parts().back().type != "logRecordId") return;
    const ObjectName log_name = record_name->parent();
    if (!watched(log_name.str())) return;
    const NameValue* log_id = log_name.find("logId");
    if (log_id == nullptr) return;
    const NameValue* system = log_name.find("systemId");
    const std::string mis_name = system != nullptr ? system->text() : MisImpl::get_local_mis_name();
    const std::string log = log_id->notation();
    const std::string id = record_name->parts().back().value.notation();
    if (kind == EventKind::kDestroyed) {
      std::list<std::string> none;
      service.execute_remove_logrecord_callback(new AlarmRecord(mis_name, log, id, none, none));
      return;
    }
    const Asn1Value info = event.get_info_raw().get_value();
    Asn1Value list;
    for (Asn1Value c = info.first_component(); !c.is_null(); c = c.next_component()) {
      if (c.tag() == Asn1Value::TAG_SET) {
        list = c;
        break;
      }
    }
    if (list.is_null()) return;
    OidArray ids;
    Asn1ValueArray values;
    if (kind == EventKind::kCreated) {
      MisImpl::parse_attribute_list(list, ids, values);
    } else {
      MisImpl::parse_attribute_list_avc(list, ids, values);
    }
    std::list<std::string> names, texts;
    MisImpl::convert(ids, values, names, texts);
    auto* record = new AlarmRecord(mis_name, log, id, names, texts);
    if (kind == EventKind::kCreated) {
      service.execute_add_logrecord_callback(record);
    } else {
      service.execute_change_logrecord_callback(record);
    }
  }
};

}  // namespace

void AlarmService::nx_add_cb(void* event) {
  EventHandling{*this, EventKind::kCreated}.run(event, record_classes,
                                                [this](const std::string& l) { return watched(l); });
}

void AlarmService::nx_delete_cb(void* event) {
  EventHandling{*this, EventKind::kDestroyed}.run(
      event, record_classes, [this](const std::string& l) { return watched(l); });
}

void AlarmService::nx_attr_cb(void* event) {
  EventHandling{*this, EventKind::kChanged}.run(event, record_classes,
                                                [this](const std::string& l) { return watched(l); });
}
