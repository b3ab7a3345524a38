// Folder tree: the rules that need no window (drive and folder filters, path levels, property sets).
#pragma once

#include <functional>
#include <string>
#include <vector>

// Drive kinds in GetDriveType's order; a set is a bit set, bit n for ordinal n.
enum TDriveType { drtUnknown, drtRemovable, drtFixed, drtRemote, drtCDRom, drtRamDisk };
using TDriveTypes = unsigned;
constexpr TDriveTypes AllDriveTypes = 0x3F;

// Folder classes by attribute.
enum TDirType { dtReadOnly, dtHidden, dtSystem, dtArchive, dtNormal, dtAll };
using TDirTypes = unsigned;
constexpr TDirTypes DefaultDirTypes = (1u << dtNormal) | (1u << dtAll);

constexpr unsigned faHidden = 0x2, faSysFile = 0x4, faDirectory = 0x10, faArchive = 0x20;

namespace dirtree {

// Appends "\" to a non-empty string that does not end in one.
std::string AddBackslash(const std::string& path);
int CountBackslashes(const std::string& path);
// The prefix of path up to and including its i-th backslash (1-based); the whole path when it has fewer.
std::string PathLevel(const std::string& path, int i);
// "C:\" for letter c.
std::string DriveRoot(char letter);
// The last component of a folder path with a trailing backslash: "C:\A\B\" gives "B", "C:\" gives "C:".
std::string LastComponent(const std::string& path);

// False for anything below a recycle-bin folder (RECYCLED or RECYCLER, at any depth); the folder itself passes.
bool RecycleBinAllows(const std::string& path);
// The attribute filter: whether a folder with these attribute bits is listed under dirTypes.
bool DirAttrAccepted(TDirTypes dirTypes, unsigned attr);
// Whether a drive that GetDriveType reports as t passes driveTypes (1 "no root" and unknown codes always pass).
bool DriveTypeAllowed(TDriveTypes driveTypes, unsigned t);
// Clears the bits of mask (bit 0 = A) whose drive kind driveTypes excludes; driveType(i) is GetDriveType of drive i.
unsigned FilterDriveMask(unsigned mask, TDriveTypes driveTypes, const std::function<unsigned(int)>& driveType);

// The caption of a drive node from its volume: "LABEL (C:)", " (C:)" for an empty label, "(C:)" when unreadable.
std::string VolumeCaption(bool readable, const std::string& volumeName, char letter);

// Set properties from a layout: member names to bits; false when a name is unknown.
bool DriveTypesFromNames(const std::vector<std::string>& names, TDriveTypes& result);
bool DirTypesFromNames(const std::vector<std::string>& names, TDirTypes& result);

}  // namespace dirtree
