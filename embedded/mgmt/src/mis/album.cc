#include "nxmp/album.h"

#include "mis/mis.h"
#include "mis/object_name.h"

AlbumImage::AlbumImage(const DataUnit& full_name, const DataUnit& relative_name,
                       const DataUnit& objclass, Platform& platform)
    : Image(full_name, objclass, platform) {
  objname_ = relative_name;
}

Album::Album(const DataUnit& name, Platform& platform) : name_(name), platform_(platform) {}
Album::~Album() = default;

bool Album::set_derivation(const DataUnit& derivation) {
  derivation_set_ = false;
  images_.clear();
  std::string text = derivation.str();
  const std::string level = "/LV(1)";
  std::size_t at = text.find(level);
  if (at == std::string::npos) return fail(BAD_VALUE, "only one-level derivations: " + text);
  std::string base = text.substr(0, at);
  std::string rest = text.substr(at + level.size());
  std::string filter;
  if (!rest.empty()) {
    const std::string open = "/CMISFilter(item:equality:{objectClass,";
    if (rest.compare(0, open.size(), open) != 0 || rest.size() < open.size() + 2 ||
        rest.compare(rest.size() - 2, 2, "})") != 0) {
      return fail(BAD_VALUE, "unsupported filter: " + rest);
    }
    filter = rest.substr(open.size(), rest.size() - open.size() - 2);
    std::size_t colon = filter.rfind(':');
    if (colon != std::string::npos) filter = filter.substr(colon + 1);
  }
  if (!nxmp_mis::parse_object_name(base)) return fail(BAD_NAME, "not an object name: " + base);
  base_ = base;
  class_filter_ = filter;
  derivation_set_ = true;
  return true;
}

bool Album::derive(double timeout) {
  images_.clear();
  if (!derivation_set_) return fail(BAD_VALUE, "no derivation set");
  nxmp_mis::Mis* mis = platform_.mis();
  if (mis == nullptr) return fail(NOT_CONNECTED, "not connected to the MIS");
  auto base = nxmp_mis::parse_object_name(base_);
  if (!base) return fail(BAD_NAME, "not an object name: " + base_);
  if (base->system != mis->system_name()) return fail(NO_SUCH_OBJECT, "no such system: " + base_);
  std::string error;
  auto matches = [&](const std::string& objclass) {
    if (class_filter_.empty()) return true;
    std::size_t colon = objclass.rfind(':');
    return (colon == std::string::npos ? objclass : objclass.substr(colon + 1)) == class_filter_;
  };
  auto add = [&](const nxmp_mis::ObjectRef& ref, const std::string& objclass) {
    const std::string full = nxmp_mis::format_object_name(ref);
    images_.push_back(std::make_unique<AlbumImage>(DataUnit(full), DataUnit(full.substr(base_.size() + 1)),
                                                   DataUnit(objclass), platform_));
  };
  if (base->kind == nxmp_mis::ObjectRef::Kind::kSystem) {
    std::vector<nxmp_mis::ObjectRef> logs;
    if (!mis->list_logs(logs, error)) return fail(DATABASE, error);
    for (const auto& log : logs) {
      if (matches("log")) add(log, "log");
    }
  } else if (base->kind == nxmp_mis::ObjectRef::Kind::kLog) {
    std::vector<std::pair<nxmp_mis::ObjectRef, std::string>> records;
    if (!mis->list_records(*base, records, error)) return fail(NO_SUCH_OBJECT, error);
    for (const auto& [ref, objclass] : records) {
      if (matches(objclass)) add(ref, objclass);
    }
  } else {
    return fail(NO_SUCH_OBJECT, "no objects below " + base_);
  }
  for (std::size_t i = 0; i + 1 < images_.size(); ++i) images_[i]->next_ = images_[i + 1].get();
  return true;
}

AlbumImage* Album::first_image() const { return images_.empty() ? nullptr : images_.front().get(); }
