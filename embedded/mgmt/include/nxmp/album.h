// Album: the set of managed objects a derivation selects, walked through
// AlbumImage objects. Derivations have the form
//   <base object name>/LV(1)[/CMISFilter(item:equality:{objectClass,<class>})]
// (the objects one level below the base, optionally of one class).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "nxmp/data_unit.h"
#include "nxmp/error.h"
#include "nxmp/image.h"
#include "nxmp/platform.h"

class AlbumImage : public Image {
 public:
  AlbumImage(const DataUnit& full_name, const DataUnit& relative_name, const DataUnit& objclass,
             Platform& platform);
  // The next image of the album, null after the last.
  AlbumImage* next_image() const { return next_; }

 private:
  friend class Album;
  AlbumImage* next_ = nullptr;
};

class Album : public Error {
 public:
  Album(const DataUnit& name, Platform& platform);
  ~Album();
  Album(const Album&) = delete;
  Album& operator=(const Album&) = delete;

  bool set_derivation(const DataUnit& derivation);
  bool derive(double timeout);
  // Null when the album is empty or not derived.
  AlbumImage* first_image() const;

 private:
  DataUnit name_;
  Platform platform_;
  std::string base_;
  std::string class_filter_;  // bare class name, empty for any
  bool derivation_set_ = false;
  std::vector<std::unique_ptr<AlbumImage>> images_;
};
