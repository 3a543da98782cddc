// Log discovery and this application's special-events setting on the MIS.
#include <list>
#include <string>

#include "service/mis_impl.h"

namespace {
constexpr double kTimeout = -12345.0;
}

std::list<std::string> MisImpl::find_logs(const DataUnit& mis_name) {
  std::list<std::string> logs;
  Album album(DataUnit("logalbum"), Platform::def_platform);
  const std::string system = "/systemId=name:\"" + mis_name.str() + "\"";
  if (!album.set_derivation(DataUnit(system + "/LV(1)/CMISFilter(item:equality:{objectClass,log})")) ||
      !album.derive(kTimeout)) {
    album.reset_error();
    return logs;
  }
  for (AlbumImage* image = album.first_image(); image != nullptr; image = image->next_image()) {
    logs.push_back(system + "/" + image->get_objname().str());
  }
  return logs;
}

bool MisImpl::set_log_object_classes() {
  const DataUnit application = Platform::def_platform.get_prop(nxmp::APPLICATION_OBJNAME);
  Image image(application, nxmp::EMPTY, Platform::def_platform);
  if (image.get_error_type() != 0 ||
      !image.set_str(DataUnit("nxSpecialEvents"), DataUnit("{logRecordEvent}"), nxmp::REPLACE, 0) ||
      !image.store(kTimeout)) {
    image.reset_error();
    return false;
  }
  return true;
}
