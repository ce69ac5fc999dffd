#pragma once
// Whether two paths are one file, the one notion every check of a run uses:
// an existing file is its device and inode (so links and other spellings of
// it are one file); a path that does not exist is the device and inode of its
// deepest existing folder with the rest of the name, the name in one letter
// case where that folder's file system folds case.

#include <functional>
#include <map>
#include <set>
#include <string>

namespace tonvale {

class TFileIdentity {
 public:
  // Whether a folder's file system folds letter case.
  using TFoldTest = std::function<bool(const std::string& Folder)>;
  explicit TFileIdentity(TFoldTest Folds);

  // The key of Path: equal keys are one file, now or once written.
  std::string Key(const std::string& Path);
  // The key of an existing file, without looking at folders; empty when
  // nothing stands at Path.
  static std::string OfExisting(const std::string& Path);

 private:
  // Whether the folder of that identity folds case, asked once.
  bool Folds(const std::string& Identity, const std::string& Folder);
  // The identity of an existing file by the spelling its folder lists: a
  // folding folder finds it by any spelling, and FUSE mounts give each
  // spelling its own inode number.
  std::string OfListedSpelling(const std::string& Path, const std::string& Found);

  TFoldTest FFolds;
  std::map<std::string, bool> FFolding;                  // folder identity -> folds case
  std::map<std::string, std::set<std::string>> FListed;  // folder identity -> its names
};

// Whether names that differ only in letter case are one file in Folder (vfat,
// exfat, a case-folding ext4 folder): an entry is looked up by its other
// spelling, or, in an empty folder and with MayProbe, a hidden file made for
// the purpose and removed at once.
bool FoldsLetterCase(const std::string& Folder, bool MayProbe);

}  // namespace tonvale
