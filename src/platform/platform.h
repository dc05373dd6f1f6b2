#pragma once
// Where the program keeps its files on this desktop, and the few process-wide
// facts that depend on the operating system. Every path is UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::platform {

// $XDG_DATA_HOME, or ~/.local/share.
std::string AppDataFolder();
// $XDG_CONFIG_HOME, or ~/.config.
std::string ConfigFolder();
// A folder only this user can read: $XDG_RUNTIME_DIR when it is usable, otherwise a
// folder of our own created with mode 0700 (never a name shared by all users in /tmp).
std::string PrivateRuntimeFolder();
// The folder holding the running program.
std::string ProgramFolder();
// Where the files that come with the program (the manual, the bridge designs)
// may be, in order: the folder `name` beside the program (a build tree, or a
// copy unpacked in one folder), then <prefix>/share/quillon/`name` of an
// installed program (the program in <prefix>/bin).
std::vector<std::string> ProgramFilesFolders(const std::string& programFolder,
                                             const std::string& name);
// The first of ProgramFilesFolders(ProgramFolder(), name) that is a folder;
// the one beside the program when none is.
std::string ProgramFilesFolder(const std::string& name);

std::string CurrentDirectory();
// The user's documents folder as the desktop names it; the home folder when
// the desktop names none or that folder does not exist.
std::string DocumentsFolder();
// The home folder ($HOME, or "/" without one).
std::string HomeFolder();

// A path typed into a field, as the full path it names: an absolute text as
// it stands, "~" and "~/..." in `home`, anything else in `base` (with "."
// and ".." taken out). Empty for an empty text. Looks at no disk.
std::string ResolveTypedPath(std::string_view text, const std::string& base,
                             const std::string& home);
// True when the text holds a wildcard ("*.bin"): a pattern for a file
// dialog's filter, not the name of a file.
bool IsNamePattern(std::string_view text);

bool SetCurrentDirectory(const std::string& path);
// Counts the changes of the current directory made through SetCurrentDirectory
// or announced with NoteDirectoryChanged (a change made elsewhere, such as a
// script's "cd"): whoever keeps a directory compares counts instead of asking
// the system after every step.
std::uint64_t DirectoryChanges();
void NoteDirectoryChanged();

// Free bytes on the volume holding `path`; nullopt when unknown.
std::optional<std::uint64_t> FreeSpace(const std::string& path);
// File-system name of the volume holding `path` ("FAT32" for vfat, "NTFS", "ext4", ...).
std::string FileSystemName(const std::string& path);

// Milliseconds from a steady clock.
std::uint64_t TickMs();

// The local time now in strftime's `format` (at most 63 characters out).
std::string LocalTimeText(const char* format);

// An attribute the system keeps of a USB device ("serial": the serial number
// string the kernel read when the device was enumerated), by bus number and
// port path ("1.4"); nullopt where the system keeps none. Needs no access to
// the device and sends it nothing.
std::optional<std::string> UsbDeviceAttribute(unsigned bus, const std::string& ports,
                                              const char* name);

}  // namespace quillon::platform
