// raise_alarm, raise_alarms: alarm notifications built from their parts,
// emitted from the managed object and logged by the MIS; the raisers of one
// process share commits.
#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "metadata.h"
#include "mis/mis.h"
#include "mis/record_attributes.h"
#include "nxmp/asn1_type.h"
#include "nxdb/value.h"
#include "nxmp/mis.h"

namespace nxmp_mis {
namespace {

bool all_digits(const std::string& s) {
  if (s.empty() || s.size() > 18) return false;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The probable cause in value notation: a number is a local value, anything
// else a registered name or an OID in braces.
std::string cause_notation(const std::string& cause) {
  if (all_digits(cause)) return "localValue : " + cause;
  if (!cause.empty() && cause.front() == '{') return "globalValue : " + cause;
  const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(cause));
  if (e != nullptr) return "globalValue : " + e->name;
  return "globalValue : " + cause;
}

// One caller's alarm waiting for a commit.
struct Waiter {
  Mis::PendingAlarm* alarm;
  bool done = false;
};

// Group commit: the first raiser to find no commit running commits every
// alarm then waiting (its own among them) in one unit of work; raisers that
// come meanwhile wait for the next commit, led by one of them.
class CommitQueue {
 public:
  void submit(Mis& mis, Mis::PendingAlarm& alarm) {
    Waiter me{&alarm};
    std::unique_lock<std::mutex> lock(mu_);
    waiting_.push_back(&me);
    while (!me.done) {
      if (leading_) {
        cv_.wait(lock);
        continue;
      }
      leading_ = true;
      const std::size_t n = std::min(waiting_.size(), kMaxGroup);
      std::vector<Waiter*> group(waiting_.begin(), waiting_.begin() + static_cast<long>(n));
      waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<long>(n));
      lock.unlock();
      std::vector<Mis::PendingAlarm*> alarms;
      alarms.reserve(group.size());
      for (Waiter* w : group) alarms.push_back(w->alarm);
      std::string ignored;  // each alarm carries its own result
      mis.log_alarms(alarms, ignored);
      lock.lock();
      for (Waiter* w : group) w->done = true;
      leading_ = false;
      cv_.notify_all();
    }
  }

 private:
  static constexpr std::size_t kMaxGroup = 1000;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Waiter*> waiting_;
  bool leading_ = false;
};

CommitQueue& commit_queue() {
  static CommitQueue* queue = new CommitQueue;  // used until the process's very end
  return *queue;
}

// The information of an alarm: its cause, severity and text in the event
// type's syntax; null when they are not values of it.
Asn1Value parsed_information(const Asn1Type& syntax, const AlarmNotification& n) {
  std::string text = "{ probableCause " + cause_notation(n.probable_cause) + ", perceivedSeverity " +
                     n.severity;
  if (!n.additional_text.empty()) text += ", additionalText " + quote(n.additional_text);
  text += " }";
  return syntax.parse(text);
}

// The same, the cause and severity parsed once for the alarms that repeat
// them (a storm's do; parsing was most of the cost of preparing an alarm),
// and the text added as the information's last component. Whether that
// composition is what the syntax makes of the whole is checked for each
// pair when it is first parsed; where it is not, every alarm is parsed.
// Where it is, the fields the information's notation splits into are kept
// as well, and known says them (the text bare, after them).
Asn1Value alarm_information(const Asn1Type& syntax, const std::string& event, const AlarmNotification& n,
                            KnownInfo& known) {
  struct Known {
    std::vector<Asn1Value> components;  // of the information without a text
    bool composes = false;
    std::shared_ptr<const InfoFields> fields;  // of the information without a text
  };
  thread_local std::unordered_map<std::string, Known> kept;
  auto compose = [](const Known& k, const std::string& text) {
    std::vector<Asn1Value> components = k.components;
    if (!text.empty()) components.push_back(Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, text));
    return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, components);
  };
  known = KnownInfo();
  std::string key = event;
  key += '\0';
  key += n.probable_cause;
  key += '\0';
  key += n.severity;
  auto found = kept.find(key);
  if (found == kept.end()) {
    AlarmNotification sample = n;
    sample.additional_text.clear();
    const Asn1Value base = parsed_information(syntax, sample);
    if (base.is_null()) return base;
    // Quotes, a run of blanks and a line break: what the notation must
    // carry through unchanged.
    sample.additional_text = "a \"sample\"  text\nof two lines";
    const Asn1Value with_text = parsed_information(syntax, sample);
    Known k;
    for (Asn1Value c = base.first_component(); !c.is_null(); c = c.next_component()) k.components.push_back(c);
    k.composes = !with_text.is_null() && compose(k, sample.additional_text) == with_text;
    std::string base_notation, text_notation;
    if (k.composes && syntax.format(base, base_notation) && syntax.format(with_text, text_notation)) {
      InfoFields fields = split_fields(base_notation);
      InfoFields expected = fields;
      expected.emplace_back("additionalText", quote(sample.additional_text));
      if (!fields.empty() && split_fields(text_notation) == expected) {
        k.fields = std::make_shared<const InfoFields>(std::move(fields));
      }
    }
    if (kept.size() >= 4096) kept.clear();
    found = kept.emplace(std::move(key), std::move(k)).first;
  }
  if (!found->second.composes) return parsed_information(syntax, n);
  if (found->second.fields) {
    known.fields = found->second.fields;
    known.text = n.additional_text;
  }
  return compose(found->second, n.additional_text);
}

// The alarm as the MIS logs it, or false with error set.
bool prepare(Mis& mis, const AlarmNotification& n, Mis::PendingAlarm& out, std::string& error) {
  const nxmp_meta::Entry* event = nxmp_meta::find(std::string_view(n.event_type));
  if (event == nullptr || event->kind != nxmp_meta::EntryKind::Notification) {
    error = "unknown event type: " + n.event_type;
    return false;
  }
  Asn1Type syntax = Asn1Type::lookup_type("eventInfo", "eventType", event->oid.to_value());
  if (!syntax) {
    error = n.event_type + " carries no alarm information";
    return false;
  }
  if (n.moi.empty() || n.moc.empty()) {
    error = "the managed object instance and class are required";
    return false;
  }
  std::string stored;
  if (!n.event_time.empty() && !nxdb::digits_to_stored_time(n.event_time, stored)) {
    error = "not an event time of fourteen digits (YYYYMMDDhhmmss): " + n.event_time;
    return false;
  }
  out.info = alarm_information(syntax, event->name, n, out.known);
  if (out.info.is_null()) {
    error = "not a valid alarm (severity " + n.severity + ", cause " + n.probable_cause + ")";
    return false;
  }
  out.event_type = event->name;
  out.moi = n.moi;
  out.moc = n.moc;
  out.event_time = n.event_time;
  out.log.reset();
  if (!n.log_id.empty()) {
    ObjectRef log;
    log.kind = ObjectRef::Kind::kLog;
    log.system = mis.system_name();
    log.log_id = n.log_id;
    log.log_is_number = n.log_is_number;
    out.log = log;
  }
  return true;
}

}  // namespace

RaiseResult raise_alarm(const AlarmNotification& n) {
  RaiseResult result;
  std::shared_ptr<Mis> mis = current_mis(result.error);
  if (!mis) return result;
  Mis::PendingAlarm alarm;
  if (!prepare(*mis, n, alarm, result.error)) return result;
  commit_queue().submit(*mis, alarm);
  result.ok = alarm.ok;
  result.error = alarm.error;
  result.record_ids = alarm.record_ids;
  return result;
}

BatchRaiseResult raise_alarms(const std::vector<AlarmNotification>& notifications) {
  BatchRaiseResult batch;
  batch.results.resize(notifications.size());
  std::shared_ptr<Mis> mis = current_mis(batch.error);
  if (!mis) {
    for (RaiseResult& r : batch.results) r.error = batch.error;
    return batch;
  }
  std::vector<Mis::PendingAlarm> alarms(notifications.size());
  std::vector<Mis::PendingAlarm*> valid;
  valid.reserve(notifications.size());
  for (std::size_t i = 0; i < notifications.size(); ++i) {
    if (prepare(*mis, notifications[i], alarms[i], batch.results[i].error)) valid.push_back(&alarms[i]);
  }
  batch.ok = mis->log_alarms(valid, batch.error);
  for (Mis::PendingAlarm* a : valid) {
    RaiseResult& r = batch.results[static_cast<std::size_t>(a - alarms.data())];
    r.ok = a->ok;
    r.error = a->error;
    r.record_ids = a->record_ids;
  }
  return batch;
}

}  // namespace nxmp_mis
