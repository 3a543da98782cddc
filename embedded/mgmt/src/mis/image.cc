#include "nxmp/image.h"

#include "metadata.h"
#include "mis/mis.h"
#include "mis/object_name.h"
#include "mis/record_attributes.h"
#include "nxmp/asn1_type.h"

Image::Image() = default;

Image::Image(const DataUnit& objname, const DataUnit& objclass, Platform& platform)
    : objname_(objname), objclass_(objclass), platform_(platform) {
  if (platform_.mis() == nullptr) {
    fail(NOT_CONNECTED, "not connected to the MIS");
    return;
  }
  auto ref = nxmp_mis::parse_object_name(objname.view());
  if (!ref) {
    fail(BAD_NAME, "not an object name of this MIS: " + objname.str());
    return;
  }
  ref_ = std::make_unique<nxmp_mis::ObjectRef>(*ref);
}

Image::Image(const Image& other)
    : Error(other),
      objname_(other.objname_),
      objclass_(other.objclass_),
      platform_(other.platform_),
      ref_(other.ref_ ? std::make_unique<nxmp_mis::ObjectRef>(*other.ref_) : nullptr),
      attributes_(other.attributes_),
      staged_(other.staged_),
      booted_(other.booted_) {}

Image& Image::operator=(const Image& other) {
  if (this != &other) {
    Image copy(other);
    static_cast<Error&>(*this) = copy;
    objname_ = copy.objname_;
    objclass_ = copy.objclass_;
    platform_ = copy.platform_;
    ref_ = std::move(copy.ref_);
    attributes_ = std::move(copy.attributes_);
    staged_ = std::move(copy.staged_);
    booted_ = copy.booted_;
  }
  return *this;
}

Image::~Image() = default;

bool Image::boot(double timeout) {
  nxmp_mis::Mis* mis = platform_.mis();
  if (mis == nullptr) return fail(NOT_CONNECTED, "not connected to the MIS");
  if (!ref_) return fail(BAD_NAME, "not an object name of this MIS: " + objname_.str());
  std::string error, objclass;
  nxmp_mis::Values values;
  if (!mis->load(*ref_, values, objclass, error)) return fail(NO_SUCH_OBJECT, error);
  attributes_ = std::move(values);
  if (objclass_.empty()) objclass_ = DataUnit(objclass);
  booted_ = true;
  return true;
}

bool Image::store(double timeout) {
  nxmp_mis::Mis* mis = platform_.mis();
  if (mis == nullptr) return fail(NOT_CONNECTED, "not connected to the MIS");
  if (!ref_) return fail(BAD_NAME, "not an object name of this MIS: " + objname_.str());
  std::string error;
  if (staged_.empty()) {
    // Nothing to write: the object must still be there.
    nxmp_mis::Values ignored;
    std::string objclass;
    if (!mis->load(*ref_, ignored, objclass, error)) return fail(NO_SUCH_OBJECT, error);
    return true;
  }
  if (!mis->update(*ref_, staged_, error)) return fail(NOT_ALLOWED, error);
  for (const auto& [name, value] : staged_) attributes_[name] = value;
  staged_.clear();
  return true;
}

bool Image::destroy(double timeout) {
  nxmp_mis::Mis* mis = platform_.mis();
  if (mis == nullptr) return fail(NOT_CONNECTED, "not connected to the MIS");
  if (!ref_) return fail(BAD_NAME, "not an object name of this MIS: " + objname_.str());
  std::string error;
  if (!mis->destroy(*ref_, error)) return fail(NO_SUCH_OBJECT, error);
  attributes_.clear();
  booted_ = false;
  return true;
}

DataUnit Image::get(const DataUnit& attribute, int flags) const {
  const nxmp_mis::RecordAttribute* a = nxmp_mis::find_record_attribute(attribute.view());
  const std::string name = a ? a->name : attribute.str();
  auto it = attributes_.find(name);
  if (it == attributes_.end()) return DataUnit();
  if (flags == VALUE_NOTATION && a != nullptr) return DataUnit(nxmp_mis::to_notation(*a, it->second));
  return DataUnit(it->second);
}

bool Image::set_str(const DataUnit& attribute, const DataUnit& value, const DataUnit& mode,
                    int flags) {
  if (!ref_) return fail(BAD_NAME, "not an object name of this MIS: " + objname_.str());
  if (mode != nxmp::REPLACE) return fail(NOT_ALLOWED, "only REPLACE is supported");
  if (ref_->kind == nxmp_mis::ObjectRef::Kind::kApplication) {
    // The special events: a set of event names.
    const std::string text = nxmp_mis::collapse_blanks(value.view());
    Asn1Type type = Asn1Type::by_name("SpecialEvents");
    if (attribute.view() != "nxSpecialEvents" || !type || type.parse(text).is_null()) {
      return fail(BAD_VALUE, "bad " + attribute.str() + " value: " + value.str());
    }
    staged_["nxSpecialEvents"] = text;
    return true;
  }
  const nxmp_mis::RecordAttribute* a = nxmp_mis::find_record_attribute(attribute.view());
  if (ref_->kind != nxmp_mis::ObjectRef::Kind::kRecord || a == nullptr || !a->settable) {
    return fail(NOT_ALLOWED, "attribute " + attribute.str() + " cannot be set on " + objname_.str());
  }
  auto parsed = nxmp_mis::parse_set_value(*a, value.view());
  if (!parsed) return fail(BAD_VALUE, "bad " + attribute.str() + " value: " + value.str());
  staged_[a->name] = *parsed;
  return true;
}

bool Image::send_event(const DataUnit& event_type, const Asn1Value& info, const Asn1Value& extra) {
  nxmp_mis::Mis* mis = platform_.mis();
  if (mis == nullptr) return fail(NOT_CONNECTED, "not connected to the MIS");
  std::vector<long> ids;
  std::string error;
  if (!mis->log_notification(event_type.str(), info, objname_.str(), objclass_.str(), nullptr, ids,
                             error)) {
    return fail(BAD_VALUE, error);
  }
  return true;
}

Asn1Value Image::get_oi() const {
  if (objname_.empty()) return Asn1Value();
  return fdn2oi(objname_);
}
